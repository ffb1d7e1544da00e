#include "units/TvUserData.h"

#include "units/TvErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tv {

namespace {

[[noreturn]] void ThrowCannotCreate(const std::string& path, int error) {
    throw ETvError("ユーザー単位ファイルを作成できません: " + path + ": " +
                   std::generic_category().message(error));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

constexpr std::string_view kTemplate = R"(>>
ユーザー単位
<<
<<\d
この行から下は読み込まれません。自分の単位の書き方の説明です。

このファイルは、Tenvari に同梱の units.dat の後に読み込まれます。
書き換えて保存したら、Tenvari の「データ再読み込み」(Ctrl+R) で反映されます。
文字コードは UTF-8 のまま保存してください。

■ 集団
  「>>」の行、集団名の行、単位の行（いくつでも）、「<<」の行の順に書きます。
  記号の行や単位の行は、行頭に空白を入れずに書きます。空行は書けません。
  集団名が同梱の集団と同じ（例: 長さ）なら、その集団の単位の後ろに加わります。
  ほかの名前なら、新しい集団として集団リストの最後に加わります。
  最初にある「ユーザー単位」は空の集団です。名前を変えても、消してもかまいません。

■ 単位の行
  単位名,基本量への式,基本量からの式,備考
  ・基本量への式の $i は「この単位での値」、基本量からの式の $t は「基本量での値」です。
  ・空白やコンマを含む項目は "..." で囲みます。
  ・備考は空でもかまいません。そのときは行末をコンマで終えます（例: 名前,$i,$t,）。

  例: 「長さ」（基本量はメートル）にキュビット（18 インチ = 0.4572 m）を加える。
  集団「長さ」の単位リストの最後に「キュビット [cubit]」が現れます。

>>
長さ
"キュビット [cubit]",$i*0.4572,$t/0.4572,"18 in"
<<

■ 式の注意: 同じ強さの演算子は右からまとめて計算します
  8-2-1 は 8-(2-1) = 7、8/4/2 は 8/(4/2) = 4 です。
  華氏は $t*9/5+32 と書けば $t*(9/5)+32 となり正しく計算されますが、
  $t/5*9+32 と書くと $t/(5*9)+32 になってしまいます。
  迷ったらかっこを付けてください: ($t/5)*9+32、($i-32)*5/9

■ 接頭辞
  このファイルと同じフォルダーに prefix.dat を置くと、同梱の接頭辞の後に加わります
  （1 行に「接頭辞,倍率」）。同梱の prefix.dat にすでにある名前は、同梱のほうが使われます。
)";

// True when path names a file that was read already (--data pointed at the user's folder).
template <class TFiles> bool AlreadyRead(const TFiles& files, const std::string& path) {
    return std::any_of(files.begin(), files.end(), [&](const auto& file) {
        std::error_code ec;
        return std::filesystem::equivalent(file.Name, path, ec);
    });
}

// The first file of a table is the shipped one, even when --data names the user's folder.
template <class TFiles> TLoadWarnings WarningsOf(const TFiles& files, const std::string& path) {
    for (size_t f = 1; f < files.size(); ++f) {
        if (files[f].Name == path) {
            return files[f].Warnings;
        }
    }
    return {};
}

} // namespace

bool IsMissingFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() ==
           std::filesystem::file_type::not_found;
}

std::optional<TLoadError> AddUserUnits(TUnits& units, const std::string& userDir) {
    const std::string path = userDir + kUnitsFileName;
    if (userDir.empty() || IsMissingFile(path) || AlreadyRead(units.Files(), path) ||
        units.AddFromFile(path)) {
        return std::nullopt;
    }
    return units.LastError();
}

std::optional<TLoadError> AddUserPrefixes(TPrefixes& prefixes, const std::string& userDir) {
    const std::string path = userDir + kPrefixFileName;
    if (userDir.empty() || !prefixes.Loaded() || IsMissingFile(path) ||
        AlreadyRead(prefixes.Files(), path) || prefixes.AddFromFile(path)) {
        return std::nullopt;
    }
    return prefixes.LastError();
}

TLoadWarnings UserFileWarnings(const TUnits& units, const std::string& userDir) {
    return userDir.empty() ? TLoadWarnings{} : WarningsOf(units.Files(), userDir + kUnitsFileName);
}

TLoadWarnings UserFileWarnings(const TPrefixes& prefixes, const std::string& userDir) {
    return userDir.empty() ? TLoadWarnings{}
                           : WarningsOf(prefixes.Files(), userDir + kPrefixFileName);
}

TUserUnitsFile CreateUserUnitsFile(const std::string& userDir) {
    const std::string path = userDir + kUnitsFileName;
    std::error_code ec;
    std::filesystem::create_directories(userDir, ec);
    if (ec) {
        ThrowCannotCreate(path, ec.value());
    }
    // O_EXCL: a file that appears meanwhile is kept, never overwritten.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) {
            return {path, false};
        }
        ThrowCannotCreate(path, errno);
    }
    const bool written = WriteAll(fd, kTemplate);
    const int writeError = errno;
    if (close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        unlink(path.c_str()); // only the file made here, never a user's
        ThrowCannotCreate(path, error);
    }
    return {path, true};
}

std::string_view UserUnitsTemplate() {
    return kTemplate;
}

} // namespace tv
