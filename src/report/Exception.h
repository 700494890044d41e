#pragma once
// The failure classes. Each object stores the class name that the report
// prints; ancestry is the C++ inheritance, so a handler for a class also
// catches everything below it.
#include <cstdint>
#include <utility>

#include "platform/Text.h"

namespace hq2hd {

class Exception {
 public:
  explicit Exception(Text message) : Exception("Exception", std::move(message)) {}
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  virtual ~Exception() = default;

  const char* ClassName() const { return className_; }
  const Text& Message() const { return message_; }

 protected:
  Exception(const char* className, Text message)
      : className_(className), message_(std::move(message)) {}

 private:
  const char* className_;
  Text message_;
};

#define HQ2HD_FAILURE_CLASS(Name, Parent)                                             \
  class Name : public Parent {                                                        \
   public:                                                                            \
    explicit Name(Text message) : Parent(#Name, std::move(message)) {}                \
                                                                                      \
   protected:                                                                         \
    Name(const char* className, Text message) : Parent(className, std::move(message)) {} \
  }

HQ2HD_FAILURE_CLASS(EPathTooLongException, Exception);
HQ2HD_FAILURE_CLASS(ENotSupportedException, Exception);
HQ2HD_FAILURE_CLASS(EArgumentException, Exception);
HQ2HD_FAILURE_CLASS(EArgumentOutOfRangeException, EArgumentException);
HQ2HD_FAILURE_CLASS(EDirectoryNotFoundException, Exception);
HQ2HD_FAILURE_CLASS(EFileNotFoundException, Exception);
HQ2HD_FAILURE_CLASS(EConvertError, Exception);
HQ2HD_FAILURE_CLASS(EHeapException, Exception);
HQ2HD_FAILURE_CLASS(EOutOfMemory, EHeapException);
HQ2HD_FAILURE_CLASS(EEncodingError, Exception);
HQ2HD_FAILURE_CLASS(EStreamError, Exception);
HQ2HD_FAILURE_CLASS(EFileStreamError, EStreamError);
HQ2HD_FAILURE_CLASS(EFOpenError, EFileStreamError);
HQ2HD_FAILURE_CLASS(EFCreateError, EFileStreamError);
HQ2HD_FAILURE_CLASS(EFilerError, EStreamError);
HQ2HD_FAILURE_CLASS(EWriteError, EFilerError);

#undef HQ2HD_FAILURE_CLASS

// The two failures that carry the code they were made from.
class EInOutError : public Exception {
 public:
  EInOutError(Text message, std::int32_t errorCode)
      : Exception("EInOutError", std::move(message)), errorCode_(errorCode) {}
  std::int32_t ErrorCode() const { return errorCode_; }

 private:
  std::int32_t errorCode_;
};

class EOSError : public Exception {
 public:
  EOSError(Text message, std::int32_t errorCode)
      : Exception("EOSError", std::move(message)), errorCode_(errorCode) {}
  std::int32_t ErrorCode() const { return errorCode_; }

 private:
  std::int32_t errorCode_;
};

}  // namespace hq2hd
