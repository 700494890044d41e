#pragma once
// A whole run of the program inside a fresh folder, through the faulty
// platform, with the standard output captured.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Platform.h"
#include "support/CountingPlatform.h"
#include "support/TempDir.h"

namespace hq2hd::testing {

class RunFixture : public ::testing::Test {
 protected:
  RunFixture();
  ~RunFixture() override;

  std::filesystem::path WorkFile() const { return dir_.Path() / "JWC_TEMP.TXT"; }
  std::filesystem::path ScratchFile() const { return dir_.Path() / "TEMP.TXT"; }
  // Runs the driver as the program's main does.
  void Run();
  std::set<std::string> Listing() const;
  // Code page 932 bytes of a report line, with its CR LF.
  static std::string ReportBytes(const std::u16string& line);

  TempDir dir_;
  CountingPlatform platform_;

 private:
  platform::ScopedPlatform scope_;
};

}  // namespace hq2hd::testing
