#include "widgets/native_path.h"

#include <QStandardPaths>

#include <cstdint>
#include <memory>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace orvalis {
#ifndef _WIN32
namespace {

constexpr char16_t ESCAPE_BASE = 0xDC00;  // lone low surrogates U+DC80..U+DCFF carry bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at text[at] and its code point; 0 when there is none.
std::size_t utf8Sequence(const std::string& text, std::size_t at, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[at + k]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(k) & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
    return length;
}

}  // namespace
#endif

std::string nativeBytes(const QString& text) {
#ifdef _WIN32
    return text.toStdString();
#else
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const auto count = static_cast<std::size_t>(text.size());
    for (std::size_t k = 0; k < count; ++k) {
        char32_t codePoint = units[k];
        if (codePoint >= 0xDC80 && codePoint <= 0xDCFF) {
            bytes += static_cast<char>(codePoint - ESCAPE_BASE);
            continue;
        }
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && k + 1 < count && units[k + 1] >= 0xDC00 &&
            units[k + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[k + 1] - 0xDC00u);
            ++k;
        }
        if (codePoint < 0x80) {
            bytes += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            bytes += static_cast<char>(0xC0 | (codePoint >> 6));
            bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            bytes += static_cast<char>(0xE0 | (codePoint >> 12));
            bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (codePoint >> 18));
            bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return bytes;
#endif
}

QString pathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    const std::string& bytes = path.native();
    bool plain = true;
    for (const char byte : bytes) plain = plain && static_cast<std::uint8_t>(byte) < 0x80;
    if (plain) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t codePoint = 0;
        const std::size_t length = utf8Sequence(bytes, at, codePoint);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(ESCAPE_BASE + static_cast<std::uint8_t>(bytes[at])));
            ++at;
            continue;
        }
        const char32_t single[1] = {codePoint};
        text += QString::fromUcs4(single, 1);
        at += length;
    }
    return text;
#endif
}

std::filesystem::path nativePath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(nativeBytes(text));
#endif
}

void startNatively(QProcess& process, const QString& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& workingFolder) {
    QStringList shown;  // what Qt reports; the program gets the bytes below
    for (const std::string& argument : arguments) shown << pathText(argument);
#ifndef _WIN32
    QString resolved = program;
    if (!program.contains(QLatin1Char('/'))) resolved = QStandardPaths::findExecutable(program);
    // Built before the fork: the child may only chdir and exec.
    auto argv = std::make_shared<std::vector<std::string>>();
    argv->push_back(nativeBytes(resolved.isEmpty() ? program : resolved));
    argv->insert(argv->end(), arguments.begin(), arguments.end());
    auto pointers = std::make_shared<std::vector<char*>>();
    for (std::string& argument : *argv) pointers->push_back(argument.data());
    pointers->push_back(nullptr);
    const std::string folder = workingFolder.native();
    process.setWorkingDirectory({});
    process.setChildProcessModifier([argv, pointers, folder] {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::execv(pointers->front(), pointers->data());
        // Not executable: Qt's own exec of the same program fails and reports it.
    });
#else
    process.setWorkingDirectory(pathText(workingFolder));
#endif
    process.start(program, shown);
}

}  // namespace orvalis
