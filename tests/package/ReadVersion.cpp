// Test equipment for the package test: reads the version information and the
// manifest of an exe back through the calls Windows itself uses, so the test
// sees what Explorer's Properties page and the loader see.
//
// Usage: ReadVersion <exe> <report file>
// Writes the report in UTF-8: one "Name=value" line per item, then a line
// "Manifest:" followed by the manifest exactly as it is stored.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleClose>;

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::string Hex4(unsigned value) {
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04x", value & 0xFFFFu);
  return digits;
}

std::string DottedVersion(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
         std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

std::optional<std::vector<BYTE>> LoadVersionInfo(const wchar_t* exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(exe, 0, size, block.data())) return std::nullopt;
  return block;
}

std::string VersionReport(std::vector<BYTE>& block) {
  std::string report;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    report +=
        "FixedFileVersion=" + DottedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + "\n";
    report += "FixedProductVersion=" +
              DottedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS) + "\n";
    report += "FileType=" + std::to_string(fixed->dwFileType) + "\n";
  }
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length)) return report;
  // Every pair the call yields is listed. Wine counts more bytes here than the value holds, so
  // the report may end in a pair that names no block; the test reads only the blocks it expects.
  const auto* pairs = static_cast<const WORD*>(value);
  for (UINT index = 0; index + 1 < length / sizeof(WORD); index += 2) {
    const std::string language = Hex4(pairs[index]) + Hex4(pairs[index + 1]);
    report += "Translation=" + language + "\n";
    const std::wstring prefix =
        L"\\StringFileInfo\\" + std::wstring(language.begin(), language.end()) + L"\\";
    for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileVersion",
                                L"FileDescription", L"LegalCopyright", L"OriginalFilename"}) {
      if (!VerQueryValueW(block.data(), (prefix + name).c_str(), &value, &length)) continue;
      // The length counts the terminating null when there is one.
      std::wstring_view text(static_cast<const wchar_t*>(value), length);
      if (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
      report += ToUtf8(name) + "=" + ToUtf8(text) + "\n";
    }
  }
  return report;
}

std::optional<std::string> LoadManifest(const wchar_t* exe) {
  UniqueModule module(
      LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return std::nullopt;
  HRSRC resource = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  if (resource == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module.get(), resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), SizeofResource(module.get(), resource));
}

bool WriteReport(const wchar_t* path, const std::string& report) {
  HANDLE opened =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  UniqueHandle file(opened);
  DWORD written = 0;
  return WriteFile(file.get(), report.data(), static_cast<DWORD>(report.size()), &written,
                   nullptr) &&
         written == report.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: ReadVersion <exe> <report file>\n", stderr);
    return 2;
  }
  const wchar_t* exe = argv[1];
  // Whatever was found is reported even when a part is missing, to ease diagnosis.
  bool complete = true;
  std::string report;
  if (auto block = LoadVersionInfo(exe)) {
    report += VersionReport(*block);
  } else {
    std::fprintf(stderr, "no version information (error %lu)\n", GetLastError());
    complete = false;
  }
  if (auto manifest = LoadManifest(exe)) {
    report += "Manifest:\n" + *manifest;
  } else {
    std::fprintf(stderr, "no manifest with id 1 (error %lu)\n", GetLastError());
    complete = false;
  }
  if (!WriteReport(argv[2], report)) {
    std::fprintf(stderr, "cannot write the report (error %lu)\n", GetLastError());
    return 1;
  }
  return complete ? 0 : 1;
}
