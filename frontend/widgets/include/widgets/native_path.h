#pragma once
// File paths between the file system and the front end's QStrings. A file name is bytes: one that
// is not valid UTF-8 (a Latin-1 "M\xfcnchen" on a UTF-8 system) would lose its bytes in Qt's own
// conversion, so names go through these two functions, which give back every byte. Bytes that
// are not part of a valid UTF-8 sequence travel as the lone surrogates U+DC80..U+DCFF, which no
// UTF-8 text can hold; such a name shows a replacement mark where the byte is.
#include <QProcess>
#include <QString>

#include <filesystem>
#include <string>
#include <vector>

namespace orvalis {

QString pathText(const std::filesystem::path& path);
std::filesystem::path nativePath(const QString& text);

// The platform's own bytes of `text` (as nativePath gives them) for a string handed to a program.
std::string nativeBytes(const QString& text);

// Starts `program` in `process` with arguments and working folder given as the platform's own
// bytes: a measured file's path reaches the program byte for byte, whatever its name.
void startNatively(QProcess& process, const QString& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& workingFolder);

}  // namespace orvalis
