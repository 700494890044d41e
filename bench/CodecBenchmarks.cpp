// The stages of one run, each on its own, over the work files that
// make_work_files.py writes: a slow run can then be traced to its stage.
// Every stage reports the work file's bytes per second, so the figures of
// different stages compare directly. Stream is the run's one pass from the
// scratch copy to the work file; the others are the stages of the whole-file
// codec: its byte form (Check, Lines, ByteRule, WritePass) and its text path
// (Decode, Split, Rule, BuildOutput, Encode).
//
//   codec_benchmarks DATA_FOLDER [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "MyFunc/CopyFileWithTimes.h"
#include "ScratchFolder.h"
#include "WorkFileData.h"
#include "app/RewriteRule.h"
#include "codec/ByteForm.h"
#include "codec/StreamRewrite.h"
#include "codec/TextFile.h"

namespace hq2hd::bench {
namespace {

void CountFileBytes(benchmark::State& state, const WorkFileData& data) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(data.bytes.size()));
  state.counters["lines"] = static_cast<double>(data.lines.size());
}

// The input list as LoadLines leaves it: views into one decoded text.
void FillInput(LineList& input, const WorkFileData& data) {
  input.SetText(Text(data.decoded));
  input.SetDetectedEncoding(*data.encoding);
}

void Decode(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  for (auto _ : state) {
    Text text = data.encoding->Decode(data.body);
    benchmark::DoNotOptimize(text.data());
  }
  CountFileBytes(state, data);
}

void Split(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  for (auto _ : state) {
    std::vector<TextView> lines = SplitLines(data.decoded);
    benchmark::DoNotOptimize(lines.data());
  }
  CountFileBytes(state, data);
}

void Rule(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  std::size_t hqLines = 0;
  for (auto _ : state) {
    hqLines = 0;
    for (TextView line : data.lines) hqLines += IsHqLine(line) ? 1 : 0;
    benchmark::DoNotOptimize(hqLines);
  }
  CountFileBytes(state, data);
  // Comparable with the hq count that make_work_files.py prints.
  state.counters["hq_lines"] = static_cast<double>(hqLines);
}

// The output list as the run builds it: rewritten lines are the list's own,
// all others views into the input's text.
void BuildOutput(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  LineList input;
  FillInput(input, data);
  for (auto _ : state) {
    LineList output = RewrittenLines(input);
    benchmark::DoNotOptimize(output.Count());
  }
  CountFileBytes(state, data);
}

// The strict check that lets a body stay bytes.
void Check(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  for (auto _ : state) benchmark::DoNotOptimize(FitsByteForm(*data.encoding, data.body));
  CountFileBytes(state, data);
}

// Finding the line breaks of the bytes.
void Lines(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  for (auto _ : state) {
    std::size_t count = 0;
    ForEachByteLine(data.body, [&](std::string_view) { ++count; });
    benchmark::DoNotOptimize(count);
  }
  CountFileBytes(state, data);
}

// The pass's way over lines that stay as they are: whole lines at a time,
// one line at a time only where a line may be "hq" or ends otherwise.
void PlainLines(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  const char* const end = data.body.data() + data.body.size();
  for (auto _ : state) {
    std::size_t stops = 0;
    for (const char* at = data.body.data(); at < end; ++stops) {
      at = FindLineBreak(SkipPlainLines(at, end, 'h', 'q'), end);
      if (at < end && *at == '\r') ++at;
      if (at < end && *at == '\n') ++at;
    }
    benchmark::DoNotOptimize(stops);
  }
  CountFileBytes(state, data);
}

void ByteRule(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  std::size_t hqLines = 0;
  for (auto _ : state) {
    hqLines = 0;
    ForEachByteLine(data.body, [&](std::string_view line) { hqLines += IsHqLine(line) ? 1 : 0; });
    benchmark::DoNotOptimize(hqLines);
  }
  CountFileBytes(state, data);
  state.counters["hq_lines"] = static_cast<double>(hqLines);
}

// The one pass that finds the lines, applies the rule and fills the pieces
// written to the work file; here the pieces go nowhere.
void WritePass(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  const ByteLineRule rule{&IsHqLine, ByteRewrittenLine};
  std::uint64_t written = 0;
  const std::function<void(std::string_view)> discard = [&](std::string_view piece) {
    written += piece.size();
  };
  for (auto _ : state) {
    written = 0;
    WriteByteForm(data.body, &rule, std::size_t{1} << 20, discard);
    benchmark::DoNotOptimize(written);
  }
  CountFileBytes(state, data);
}

void Encode(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  for (auto _ : state) {
    std::string bytes = data.encoding->Encode(data.joined);
    benchmark::DoNotOptimize(bytes.data());
  }
  CountFileBytes(state, data);
}

// The run's last step: the output list written to the work file.
void Save(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  LineList input;
  LoadLines(input, data.file.u16string());
  const LineList output = RewrittenLines(input);
  ScratchFolder folder;
  const Text path = folder.Name("JWC_TEMP.TXT");
  for (auto _ : state) SaveLines(output, path, *data.encoding);
  CountFileBytes(state, data);
}

// The run's own step: the one pass from the scratch copy to the work file.
void Stream(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  const Text source = data.file.u16string();
  ScratchFolder folder;
  const Text path = folder.Name("JWC_TEMP.TXT");
  for (auto _ : state) {
    // The pass makes its target new, as a run does after removing a leftover.
    std::filesystem::remove(std::filesystem::path(path));
    StreamRewrite(source, path, HqLineRule, [] {});
  }
  CountFileBytes(state, data);
}

// Reading, mark detection and the check that keeps the bytes.
void Load(benchmark::State& state, WorkFileKind kind) {
  const WorkFileData& data = Data(kind);
  const Text path = data.file.u16string();
  for (auto _ : state) {
    LineList list;
    LoadLines(list, path);
    benchmark::DoNotOptimize(list.Count());
  }
  CountFileBytes(state, data);
}

// The copy to the scratch file in 4096-byte blocks, with the file times.
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

// In the order of a run.
BENCHMARK_CAPTURE(Copy, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stream, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stream, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Check, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Check, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Lines, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Lines, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlainLines, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlainLines, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ByteRule, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ByteRule, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WritePass, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WritePass, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
// The text path, which UTF-16 work files take.
BENCHMARK_CAPTURE(Decode, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Split, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Split, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rule, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Rule, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BuildOutput, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BuildOutput, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, cp932, WorkFileKind::Cp932)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Encode, utf8, WorkFileKind::Utf8)->Unit(benchmark::kMillisecond);

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
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
