#include "platform/profile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile_file.h"
#include "platform/terminal_text.h"
#include "platform/text.h"

namespace {

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// Names compare without regard to ASCII case; AsciiUpper leaves the bytes of
// double-byte characters alone, so two different characters never compare equal.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiUpper(a) == AsciiUpper(b);
}

// At most limit bytes of text, cut before a double-byte character that would
// not fit whole.
std::string CutToCharacters(std::string_view text, size_t limit) {
  size_t end = 0;
  while (end < text.size()) {
    size_t width = (IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size()) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return std::string(text.substr(0, end));
}

enum class LineKind { Blank, Section, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

ParsedLine Parse(std::string_view line) {
  ParsedLine parsed;
  std::string_view text = Trim(line);
  if (text.empty()) {
    parsed.kind = LineKind::Blank;
    return parsed;
  }
  if (text[0] == '[') {
    // The name runs to the last closing bracket; a bracket byte that is the
    // second half of a double-byte character does not count.
    size_t close = std::string_view::npos;
    for (size_t i = 1; i < text.size();) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (IsLeadByte(c) && i + 1 < text.size()) {
        i += 2;
        continue;
      }
      if (c == ']') close = i;
      ++i;
    }
    if (close == std::string_view::npos) return parsed;
    parsed.kind = LineKind::Section;
    parsed.name = Trim(text.substr(1, close - 1));
    return parsed;
  }
  if (text[0] == ';') return parsed;  // comment
  size_t equals = text.find('=');    // '=' is never a trail byte
  if (equals == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = Trim(text.substr(0, equals));
  parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

// Calls fn(index, line) for each line, without its line end (CR LF, LF, or
// none on the last line), until fn returns false. Nothing is copied: a read
// of a file costs the file and no more.
template <class Fn>
void ForEachLine(std::string_view content, Fn&& fn) {
  size_t start = 0;
  for (size_t i = 0; start < content.size(); ++i) {
    size_t newline = content.find('\n', start);
    size_t end = newline == std::string_view::npos ? content.size() : newline;
    size_t stop = (end > start && content[end - 1] == '\r') ? end - 1 : end;
    if (!fn(i, content.substr(start, stop - start))) return;
    if (newline == std::string_view::npos) return;
    start = newline + 1;
  }
}

// The lines as views into content; for a rewrite, which replaces some.
std::vector<std::string_view> SplitLines(std::string_view content) {
  std::vector<std::string_view> lines;
  ForEachLine(content, [&](size_t, std::string_view line) {
    lines.push_back(line);
    return true;
  });
  return lines;
}

// Where a key stands in a file: the first section of that name counts, and
// in it the first key of that name.
struct Location {
  size_t section = SIZE_MAX;      // line of the section header
  size_t key = SIZE_MAX;          // line of the key
  size_t lastContent = SIZE_MAX;  // last non-blank line of the section
  std::string_view keyLine;       // the key's line
};

// forEach(fn) hands each line to fn as ForEachLine does.
template <class ForEach>
Location Locate(ForEach&& forEach, std::string_view section, std::string_view key) {
  Location where;
  bool inSection = false;
  forEach([&](size_t i, std::string_view line) {
    ParsedLine parsed = Parse(line);
    if (parsed.kind == LineKind::Section) {
      if (inSection) return false;
      if (SameName(parsed.name, section)) {
        inSection = true;
        where.section = i;
        where.lastContent = i;
      }
      return true;
    }
    if (!inSection) return true;
    if (parsed.kind != LineKind::Blank) where.lastContent = i;
    if (parsed.kind == LineKind::Key && where.key == SIZE_MAX && SameName(parsed.name, key)) {
      where.key = i;
      where.keyLine = line;
    }
    return true;
  });
  return where;
}

Location LocateInContent(std::string_view content, std::string_view section, std::string_view key) {
  return Locate([&](auto&& fn) { ForEachLine(content, fn); }, section, key);
}

Location LocateInLines(const std::vector<std::string_view>& lines, std::string_view section, std::string_view key) {
  return Locate(
      [&](auto&& fn) {
        for (size_t i = 0; i < lines.size() && fn(i, lines[i]); ++i) {
        }
      },
      section, key);
}

// Says once per file that it is too large; a handful of files at most.
void SayTooLarge(const std::string& path) {
  static std::mutex lock;
  static std::vector<std::string> said;
  std::lock_guard<std::mutex> guard(lock);
  for (const std::string& known : said) {
    if (known == path) return;
  }
  if (said.size() < 16) said.push_back(path);
  PrintTerminal(stderr, "quillon: %s is larger than %zu bytes and is not read\n", NameForTerminal(path).c_str(),
                PROFILE_MAX_BYTES);
}

// The whole file; failures are at kRead (ENOENT for a missing file). One
// that is too large is said once.
SysError ReadWholeFile(const std::string& path, std::string& content) {
  const SysError read = ReadProfileFile(path, &content);
  if (read.code == EFBIG) SayTooLarge(path);
  return read;
}

// A trimmed value as a read returns it: without matching quotes, at most limit bytes.
std::string Unquote(std::string_view value, size_t limit) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return CutToCharacters(value, limit);
}

bool HoldsLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// True when the last byte of name is the lead byte of a double-byte
// character: written as "[name]", the closing bracket would become its
// trail byte and the header would never be found again.
bool EndsInLeadByte(std::string_view name) {
  size_t i = 0;
  while (i < name.size()) {
    if (IsLeadByte(static_cast<unsigned char>(name[i]))) {
      if (i + 1 == name.size()) return true;
      i += 2;
    } else {
      ++i;
    }
  }
  return false;
}

// Names that a read could not find again once written: a section whose
// header would lose its closing bracket, a key that would split at its own
// "=" or read as a section header or a comment, and line breaks in either.
bool IsWritableSection(std::string_view trimmed, const std::string& raw) {
  return !trimmed.empty() && !HoldsLineBreak(raw) && !EndsInLeadByte(trimmed);
}

bool IsWritableKey(const std::string& raw) {
  std::string_view key = Trim(raw);
  return !key.empty() && !HoldsLineBreak(raw) && key.find('=') == std::string_view::npos && key[0] != '[' &&
         key[0] != ';';
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& path) {
  if (bufferSize == 0) return std::string();
  const size_t limit = bufferSize - 1;
  std::string_view fallback = defaultValue;
  while (!fallback.empty() && IsBlank(static_cast<unsigned char>(fallback.back()))) fallback.remove_suffix(1);

  std::string_view sectionName = Trim(section);
  std::string_view keyName = Trim(key);
  std::string content;
  // A file that cannot be read gives the default, as a missing one does:
  // that is what this reading promises (ReadPrivateProfileValue tells them
  // apart for a caller that must).
  if (sectionName.empty() || keyName.empty() || ReadWholeFile(path, content).Failed()) {
    return CutToCharacters(fallback, limit);
  }
  Location where = LocateInContent(content, sectionName, keyName);
  if (where.key == SIZE_MAX) return CutToCharacters(fallback, limit);

  return Unquote(Parse(where.keyLine).value, limit);
}

SysError ReadPrivateProfileValue(const std::string& section, const std::string& key, const std::string& path,
                                 std::string* value) {
  value->clear();
  std::string content;
  const SysError read = ReadWholeFile(path, content);
  if (read.Failed()) return read.code == ENOENT ? SysError() : read;
  std::string_view sectionName = Trim(section);
  std::string_view keyName = Trim(key);
  if (sectionName.empty() || keyName.empty()) return SysError();
  Location where = LocateInContent(content, sectionName, keyName);
  if (where.key != SIZE_MAX) *value = Unquote(Parse(where.keyLine).value, SIZE_MAX);
  return SysError();
}

std::string ProfileValueAsRead(const std::string& written, std::size_t bufferSize) {
  if (bufferSize == 0) return std::string();
  return Unquote(Trim(written), bufferSize - 1);
}

bool WritePrivateProfileKeys(const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& keyValues,
                             const std::string& path) {
  std::string_view sectionName = Trim(section);
  if (path.empty() || !IsWritableSection(sectionName, section)) return false;
  for (const auto& [key, value] : keyValues) {
    if (!IsWritableKey(key) || HoldsLineBreak(value)) return false;
  }

  std::string content;
  ProfileFileState existing;
  const SysError read = ReadProfileForRewrite(path, &content, &existing);
  if (read.Failed()) {
    if (read.code == EFBIG) SayTooLarge(path);
    return false;  // never replace what we could not read or may not write
  }

  std::vector<std::string_view> lines = SplitLines(content);
  std::deque<std::string> written;  // the new lines, which lines views
  size_t extra = 0;
  for (const auto& [key, value] : keyValues) {
    std::string_view keyName = Trim(key);
    extra += keyName.size() + value.size() + 3;
    Location where = LocateInLines(lines, sectionName, keyName);
    if (where.key != SIZE_MAX) {
      // The key keeps the spelling it has in the file.
      lines[where.key] = written.emplace_back(std::string(Parse(where.keyLine).name) + "=" + value);
    } else if (where.section != SIZE_MAX) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(where.lastContent + 1),
                   written.emplace_back(std::string(keyName) + "=" + value));
    } else {
      std::string header = "[";  // appended, not "[" + …: GCC 12 warns wrongly (-Wrestrict) on that
      header.append(sectionName).append("]");
      lines.push_back(written.emplace_back(std::move(header)));
      lines.push_back(written.emplace_back(std::string(keyName) + "=" + value));
    }
  }

  std::string out;
  out.reserve(content.size() + lines.size() + extra + sectionName.size() + 4);
  for (std::string_view line : lines) {
    out += line;
    out += "\r\n";
  }
  return ReplaceProfileFile(path, out, existing);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
  return WritePrivateProfileKeys(section, {{key, value}}, path);
}
