#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "codec/CodecKernels.h"
#include "codec/StreamRewrite.h"
#include "platform/Text.h"

namespace hq2hd {

// The line rule over pieces of units (bytes or UTF-16 units). Lines that
// already end in CR LF and do not match are handed on with their neighbours
// as one run of the piece; only a matching line, another line break or the
// piece's end interrupts the run. A line that may still match (so far only
// units up to U+0020 around a beginning of the word) is held across a
// piece's end; a CR at a piece's end is written as CR LF at once, and an LF
// that begins the next piece is then passed over. The output is told which
// units are the piece's own (`Pass`, in order) and which units stand for the
// piece's units before a point (`Put`), so that it may write them in place.
template <class Unit>
class LineRewriter {
 public:
  LineRewriter(const StreamLineRule& rule, const CodecKernels& kernels)
      : kernels_(kernels),
        word_(rule.word.begin(), rule.word.end()),
        replacement_(rule.replacement.begin(), rule.replacement.end()),
        matchesText_(rule.matchesText) {
    replacement_ += Unit('\r');
    replacement_ += Unit('\n');
  }

  template <class Output>
  void Feed(const Unit* at, const Unit* const end, Output& output) {
    pieceEnd_ = end;
    const Unit* run = at;
    if (afterCr_ && at < end) {
      afterCr_ = false;
      if (*at == Unit('\n')) run = ++at;
    }
    while (at < end) {
      if (!mayMatch_) {
        const Unit* lineBreak = FindBreak(at, end);
        if (lineBreak == end) break;
        at = EndLine(lineBreak, end, run, output);
        mayMatch_ = true;
        continue;
      }
      // At a line's start: most lines are neither the word nor end other
      // than in CR LF, and stay in the run untouched.
      if (held_.empty() && word_.size() == 2) at = SkipPlainLines(at, end);
      const Unit* const from = at;
      at = ScanWord(at, end);
      if (at == end) {
        // The line goes on in the next piece: what it holds so far waits.
        output.Pass(run, static_cast<std::size_t>(from - run));
        held_.append(from, end);
        run = end;
        break;
      }
      if (*at == Unit('\r') || *at == Unit('\n')) {
        if (Matches(from, at)) {
          output.Pass(run, static_cast<std::size_t>(from - run));
          at = StepOverBreak(at, end);
          output.Put(replacement_.data(), replacement_.size(), at);
          run = at;
        } else {
          run = GiveHeld(run, from, output);
          at = EndLine(at, end, run, output);
        }
        held_.clear();
        letters_ = 0;
        continue;
      }
      // This unit rules the match out: the line is passed on as it comes.
      run = GiveHeld(run, from, output);
      mayMatch_ = false;
      letters_ = 0;
    }
    output.Pass(run, static_cast<std::size_t>(end - run));
  }

  // The source has ended: a last line without a break gets one.
  template <class Output>
  void Finish(Output& output) {
    // The last piece has been read whole.
    if (!mayMatch_) {
      output.Put(Break, 2, pieceEnd_);
    } else if (!held_.empty()) {
      if (Matches(held_.data(), held_.data())) {
        output.Put(replacement_.data(), replacement_.size(), pieceEnd_);
      } else {
        output.Put(held_.data(), held_.size(), pieceEnd_);
        output.Put(Break, 2, pieceEnd_);
      }
    }
    held_.clear();
    mayMatch_ = true;
    letters_ = 0;
  }

 private:
  static constexpr Unit Break[2] = {Unit('\r'), Unit('\n')};

  // The word's letters are ASCII, as ScanWord() takes them.
  const Unit* SkipPlainLines(const Unit* at, const Unit* end) const {
    const auto first = static_cast<char>(word_[0]), second = static_cast<char>(word_[1]);
    if constexpr (std::is_same_v<Unit, char>) {
      return kernels_.skipPlainLines(at, end, first, second);
    } else {
      return kernels_.skipPlainUnits(at, end, first, second);
    }
  }

  const Unit* FindBreak(const Unit* at, const Unit* end) const {
    if constexpr (std::is_same_v<Unit, char>) {
      return kernels_.findLineBreak(at, end);
    } else {
      return kernels_.findUnitBreak(at, end);
    }
  }

  // The line is the held units and those from `from` to `to`.
  bool Matches(const Unit* from, const Unit* to) {
    if (letters_ != word_.size()) return false;
    if constexpr (std::is_same_v<Unit, char16_t>) {
      if (matchesText_ != nullptr) {
        if (held_.empty()) return matchesText_(TextView(from, static_cast<std::size_t>(to - from)));
        return matchesText_(held_ + Text(from, to));
      }
    }
    return true;
  }

  // The end of the units from `at` that the line may still be the word with:
  // units up to U+0020 before and after its letters, in any case. Counted in
  // a local, which the units read through a pointer cannot alias.
  const Unit* ScanWord(const Unit* at, const Unit* end) {
    const std::size_t size = word_.size();
    std::size_t letters = letters_;
    for (; at < end; ++at) {
      const auto unit = static_cast<std::uint32_t>(*at);
      if (unit == '\r' || unit == '\n') break;
      if (unit <= 0x20) {
        if (letters != 0 && letters != size) break;
      } else if (letters < size && unit < 0x80 &&
                 (unit | 0x20) == static_cast<std::uint32_t>(word_[letters])) {
        ++letters;
      } else {
        break;
      }
    }
    letters_ = letters;
    return at;
  }

  // A line held from an earlier piece turned out not to match: its units go
  // out ahead of this piece's, which are all the line's own so far.
  template <class Output>
  const Unit* GiveHeld(const Unit* run, const Unit* from, Output& output) {
    if (held_.empty()) return run;
    output.Put(held_.data(), held_.size(), from);
    held_.clear();
    return from;
  }

  const Unit* StepOverBreak(const Unit* at, const Unit* end) {
    if (*at == Unit('\r')) {
      ++at;
      if (at == end) {
        afterCr_ = true;
        return at;
      }
    }
    if (*at == Unit('\n')) ++at;
    return at;
  }

  // Ends the line at `lineBreak`; a CR LF stays in the run.
  template <class Output>
  const Unit* EndLine(const Unit* lineBreak, const Unit* end, const Unit*& run, Output& output) {
    if (*lineBreak == Unit('\r') && lineBreak + 1 < end && lineBreak[1] == Unit('\n'))
      return lineBreak + 2;
    output.Pass(run, static_cast<std::size_t>(lineBreak - run));
    run = StepOverBreak(lineBreak, end);
    output.Put(Break, 2, run);
    return run;
  }

  const CodecKernels& kernels_;
  std::basic_string<Unit> word_;
  std::basic_string<Unit> replacement_;
  bool (*matchesText_)(TextView);
  std::basic_string<Unit> held_;
  const Unit* pieceEnd_ = nullptr;
  std::size_t letters_ = 0;
  bool mayMatch_ = true;
  bool afterCr_ = false;
};

}  // namespace hq2hd
