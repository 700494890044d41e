#include "WorkFileData.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

namespace hq2hd::bench {

namespace {

std::filesystem::path& DataFolder() {
  static std::filesystem::path folder;
  return folder;
}

std::string ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) {
    std::fprintf(stderr, "cannot read %s; write it with bench/make_work_files.py\n",
                 file.string().c_str());
    std::exit(2);
  }
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

WorkFileData Prepare(WorkFileKind kind) {
  WorkFileData data;
  data.utf8 = kind == WorkFileKind::Utf8;
  data.file = DataFolder() / (data.utf8 ? "utf8.txt" : "cp932.txt");
  data.bytes = ReadWholeFile(data.file);
  // The UTF-8 file begins with its byte-order mark.
  data.body = std::string_view(data.bytes).substr(data.utf8 ? 3 : 0);
  return data;
}

}  // namespace

void SetDataFolder(const std::filesystem::path& folder) { DataFolder() = folder; }

const WorkFileData& Data(WorkFileKind kind) {
  // A map keeps each entry in place, so references handed out stay valid.
  static std::map<WorkFileKind, WorkFileData> loaded;
  auto found = loaded.find(kind);
  if (found == loaded.end()) found = loaded.emplace(kind, Prepare(kind)).first;
  return found->second;
}

}  // namespace hq2hd::bench
