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
// The answers to a person who types `hq2hd --version` or `hq2hd --help`.
inline constexpr TextView VersionLine = u"hq2hd %s";
inline constexpr TextView Usage =
    u"使い方: hq2hd（引数なし）\r\n"
    u"  hq2hd と同じフォルダーにある作業ファイル JWC_TEMP.TXT の、前後の空白を除いて\r\n"
    u"  hq と読める行（大文字小文字は問いません）を hd に書き換えます。\r\n"
    u"  正常に終わったときは何も表示しません。\r\n"
    u"  hq2hd --version  バージョンを表示します\r\n"
    u"  hq2hd --help     この説明を表示します";
inline constexpr TextView UnhandledFailure = u"%s がモジュール %s の %p で発生しました。\r\n%s%s\r\n";

}  // namespace hq2hd::catalogue
