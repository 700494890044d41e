// The stages of one run, each on its own, over the work files that
// make_work_files.py writes: a slow run can then be traced to its stage.
// Every stage reports the work file's bytes per second, so the figures of
// different stages compare directly. Copy is the copy to the scratch file,
// Stream the run's one pass from it to the work file; Check, PlainLines and
// Rewrite are the pass's loops over the bytes, once for each set of kernels
// the processor has (the name ends in the set's).
//
//   codec_benchmarks DATA_FOLDER [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "MyFunc/CopyFileWithTimes.h"
#include "ScratchFolder.h"
#include "WorkFileData.h"
#include "app/RewriteRule.h"
#include "codec/CodecKernels.h"
#include "codec/StreamRewrite.h"

namespace hq2hd::bench {
namespace {

void CountFileBytes(benchmark::State& state, const WorkFileData& data) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(data.bytes.size()));
}

// The copy to the scratch file, with the file times.
void Copy(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  const Text source = data.file.u16string();
  ScratchFolder folder;
  const Text destination = folder.Name("TEMP.TXT");
  for (auto _ : state) {
    CopyOutcome outcome = CopyFileWithTimes(source, destination);
    if (!outcome.completed) {
      state.SkipWithError("the copy did not complete");
      break;
    }
  }
  CountFileBytes(state, data);
}

// The run's own step: the one pass from the scratch copy to the work file.
void Stream(benchmark::State& state, WorkFileKind kind, const CodecKernels* kernels) {
  const WorkFileData& data = Data(kind);
  const Text source = data.file.u16string();
  ScratchFolder folder;
  const Text path = folder.Name("JWC_TEMP.TXT");
  for (auto _ : state) {
    // The pass makes its target new, as a run does after removing a leftover.
    std::filesystem::remove(std::filesystem::path(path));
    StreamRewrite(
        source, path, HqLineRule, [] {}, StreamPieceSize, *kernels);
  }
  CountFileBytes(state, data);
}

// The check: UTF-8 strictly, code page 932 for codes written as another.
void Check(benchmark::State& state, WorkFileKind kind, const CodecKernels* kernels) {
  const WorkFileData& data = Data(kind);
  const char* const begin = data.body.data();
  const char* const end = begin + data.body.size();
  for (auto _ : state) {
    if (data.utf8) {
      benchmark::DoNotOptimize(kernels->isStrictUtf8(begin, end));
    } else {
      // The benchmark's text has no code written as another: the run only
      // searches it for them.
      benchmark::DoNotOptimize(kernels->findCp932Changes(begin, end, true).complete);
    }
  }
  CountFileBytes(state, data);
}

// The pass's way over lines that stay as they are: whole lines at a time,
// one line at a time only where a line may be "hq" or ends otherwise.
void PlainLines(benchmark::State& state, WorkFileKind kind, const CodecKernels* kernels) {
  const WorkFileData& data = Data(kind);
  const char* const end = data.body.data() + data.body.size();
  for (auto _ : state) {
    std::size_t stops = 0;
    for (const char* at = data.body.data(); at < end; ++stops) {
      at = kernels->findLineBreak(kernels->skipPlainLines(at, end, 'h', 'q'), end);
      if (at < end && *at == '\r') ++at;
      if (at < end && *at == '\n') ++at;
    }
    benchmark::DoNotOptimize(stops);
  }
  CountFileBytes(state, data);
}

// The code page 932 codes written as another code replaced, on a copy.
void Rewrite(benchmark::State& state, WorkFileKind kind, const CodecKernels* kernels) {
  const WorkFileData& data = Data(kind);
  std::string body(data.body);
  for (auto _ : state) {
    kernels->rewriteCp932Codes(body.data(), body.data() + body.size());
    benchmark::DoNotOptimize(body.data());
  }
  CountFileBytes(state, data);
}

void RegisterAll() {
  const auto milliseconds = [](benchmark::internal::Benchmark* benchmark) {
    benchmark->Unit(benchmark::kMillisecond);
  };
  milliseconds(benchmark::RegisterBenchmark("Copy/cp932", Copy, WorkFileKind::Cp932));
  for (const CodecKernels* kernels : SupportedKernels()) {
    const std::string set = kernels->name;
    for (const auto& [file, kind] :
         {std::pair{"cp932", WorkFileKind::Cp932}, std::pair{"utf8", WorkFileKind::Utf8}}) {
      std::string suffix = "/";
      suffix.append(file).append("/").append(set);
      milliseconds(
          benchmark::RegisterBenchmark(("Stream" + suffix).c_str(), Stream, kind, kernels));
      milliseconds(benchmark::RegisterBenchmark(("Check" + suffix).c_str(), Check, kind, kernels));
      milliseconds(
          benchmark::RegisterBenchmark(("PlainLines" + suffix).c_str(), PlainLines, kind, kernels));
    }
    milliseconds(benchmark::RegisterBenchmark(("Rewrite/cp932/" + set).c_str(), Rewrite,
                                              WorkFileKind::Cp932, kernels));
  }
}

}  // namespace
}  // namespace hq2hd::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: %s DATA_FOLDER [benchmark options]\n"
                 "DATA_FOLDER holds cp932.txt and utf8.txt from bench/make_work_files.py\n",
                 argv[0]);
    return 2;
  }
  hq2hd::bench::SetDataFolder(argv[1]);
  hq2hd::bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
