// Every text the program shows in a message box, and the box that shows
// them. Format arguments, where present, are the dictionary's base name.
#pragma once

#include <windows.h>

#include "framework/Afx.h"

namespace msg {

inline constexpr char kOutOfMemory[] = "メモリ不足のため処理できません.";
inline constexpr char kToolkitRunning[] =
    "辞書ツールキットが起動中です.\nオプション辞書をインストールする場合は,辞書ツールキットを閉じて「OK」を押してください.";
inline constexpr char kHostNotInstalled[] = "Fumidori V1.0がインストールされていません.処理を中止します.";
inline constexpr char kHostInvalid[] = "Fumidori のインストール状態が不正です.処理を中止します.";
inline constexpr char kNoSourceDics[] = "インストールする辞書がありません.処理を中止します.";
inline constexpr char kNoUserDicRoot[] = "ユーザプロファイルのパスを取得できません.処理を中止します.";
inline constexpr char kRegisterFailed[] = "オプション辞書の登録に失敗しました.処理を中止します.";
inline constexpr char kSettingFailed[] = "オプション辞書の設定に失敗しました.処理を中止します.";
inline constexpr char kAlreadyRegisteredFmt[] =
    "インストールするオプション辞書と同じ名前の辞書がすでに登録されています．\n\n辞書名 : %s\n\n辞書を上書きしますか?";
inline constexpr char kDestinationExistsFmt[] =
    "オプション辞書のインストール先に同じ名前の辞書が存在しています．\n\n辞書名 : %s\n\n辞書を上書きしますか?";
inline constexpr char kCopyFailedFmt[] =
    "辞書のコピーができません.\n辞書ツールキットを起動して以下のオプション辞書を削除してください.\n\n"
    "削除するオプション辞書 :  %s\n\nその後システムを再起動して,再度インストールしてください.";
inline constexpr char kRegisterLimit[] = "登録できるオプション辞書数が上限に達しました.処理を中止します.";
inline constexpr char kCannotEnable[] =
    "インストールしたオプション辞書を有効にできません.\n辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";
inline constexpr char kEnableLimit[] =
    "同時に使用することのできるオプション辞書数の上限(15)に達しました.\nインストールしたオプション辞書の一部が有効になっていません.\n"
    "辞書ツールキットを起動し,有効にするオプション辞書を選択してください.";
// A source path too long for the 260-byte path buffers; the argument is the
// file name as found in the source folder.
inline constexpr char kSourcePathTooLongFmt[] = "インストールする辞書のパスが長すぎます.処理を中止します.\n\n辞書 : %s";
// The source folder's listing failed before its end.
inline constexpr char kSourceListFailed[] = "インストールする辞書の一覧を取得できません.処理を中止します.";
// A destination path the host could not read back from its 260-byte
// buffers; the argument is the file name in the user dictionary folder.
inline constexpr char kTargetPathTooLongFmt[] = "インストール先の辞書のパスが長すぎます.処理を中止します.\n\n辞書 : %s";

}  // namespace msg

// Why the installation stops, or (enabling) what the user must do by hand:
// stop icon, OK button.
inline constexpr UINT kMessageStyle = MB_OK | MB_ICONSTOP;

inline void ShowMessage(const char* pszText) { AfxMessageBox(pszText, kMessageStyle); }

// pszFormat takes one string argument (a dictionary or file name).
inline void ShowMessageFormatted(const char* pszFormat, const char* pszArgument) {
  CString strText;
  strText.Format(pszFormat, pszArgument);
  ShowMessage(strText);
}
