#pragma once
// Every fixed text of the program. "%d" and "%s" are placeholders filled by
// FormatMessageText.
#include "platform/Text.h"

namespace hq2hd::catalogue {

inline constexpr TextView FileNotFound = u"指定されたファイルが見つかりません";
inline constexpr TextView PathTooLong = u"指定されたパスが長すぎます";
inline constexpr TextView PathFormatNotSupported = u"パスの形式がサポートされていません";
inline constexpr TextView InvalidPathChars = u"パスに無効な文字が含まれています";
inline constexpr TextView PathNotFound = u"指定されたパスが見つかりません";
inline constexpr TextView DriveNotFound = u"ドライブが見つかりません";
inline constexpr TextView CannotOpenFile = u"ファイル %s は開けません。 %s ";
inline constexpr TextView CannotCreateFile = u"ファイル \"%s\" を作成できません。%s";
inline constexpr TextView StreamWriteError = u"ストリームへの書き込みエラー";
inline constexpr TextView InvalidCodePage = u"コード ページが無効です";
inline constexpr TextView InvalidSourceArray = u"ソース配列が無効です";
inline constexpr TextView SystemErrorWithCode = u"システム エラー。コード: %d。\r\n%s%s";
inline constexpr TextView OsCallFailed = u"OS 機能呼び出しの失敗";
inline constexpr TextView OutOfMemory = u"メモリが足りません";
inline constexpr TextView IoErrorWithCode = u"I/O エラー %d";
inline constexpr TextView TooManyOpenFiles = u"開かれたファイルが多すぎます。";
inline constexpr TextView FileAccessDenied = u"ファイルへのアクセスが拒否されました";
inline constexpr TextView ReadBeyondEnd = u"ファイルの末尾以降を読み取りました";
inline constexpr TextView DiskFull = u"ディスクがいっぱいです";
inline constexpr TextView NotANumber = u"入力値が数値ではありません";
// Code 3 has no file name to show, so it gets a wording without one.
inline constexpr TextView InvalidFileName = u"ファイル名またはパスが正しくありません";
// A body after a UTF-8 mark that is not UTF-8: the work file is given back.
inline constexpr TextView InvalidUtf8Body = u"UTF-8 として読み取れないバイトがあります";
// A date-time whose fields no calendar holds (a file time cannot be made of it).
inline constexpr TextView InvalidDateTime = u"日付または時刻が無効です";
inline constexpr TextView FileTooLarge = u"ファイルが大きすぎます";
inline constexpr TextView UnhandledFailure = u"%s がモジュール %s の %p で発生しました。\r\n%s%s\r\n";

}  // namespace hq2hd::catalogue
