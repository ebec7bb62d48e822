#include "platform/IniFile.h"

namespace pellora {

namespace {

constexpr std::size_t kIndexedSectionSize = 8;

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldChar(c);
  return out;
}

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The first max characters of text, counting a UTF-8 sequence as one
// character, so a cut value stays valid UTF-8 when the text was.
std::string_view CutToCharacters(std::string_view text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == max) return text.substr(0, i);
    ++chars;
  }
  return text;
}

// Names and values are single lines in the file; a line break inside one
// would start a new line that reads as another key or section.
void AppendOneLine(std::string& out, std::string_view text) {
  for (char c : text) out.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

}  // namespace

void IniFile::Clear() {
  sections_.clear();
  sectionIndex_.clear();
  lastSection_ = 0;
}

void IniFile::Parse(std::string_view text) {
  Clear();
  if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;

    if (line.empty()) continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      if (auto close = name.find(']'); close != std::string_view::npos) name = name.substr(0, close);
      name = TrimBlanks(name);
      current = FindSection(name);
      if (!current) current = &AddSection(name);
      continue;
    }
    if (!current) continue;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = TrimBlanks(line.substr(0, eq));
    if (key.empty() || FindEntry(*current, key)) continue;
    AddEntry(*current, key, TrimBlanks(line.substr(eq + 1)));
  }
}

std::string IniFile::Text() const {
  std::size_t size = 0;
  for (const Section& s : sections_) {
    size += s.name.size() + 4;
    for (const Entry& e : s.entries) size += e.key.size() + e.value.size() + 3;
  }
  std::string out;
  out.reserve(size);
  for (const Section& s : sections_) {
    out += '[';
    AppendOneLine(out, s.name);
    out += "]\r\n";
    for (const Entry& e : s.entries) {
      AppendOneLine(out, e.key);
      out += '=';
      AppendOneLine(out, e.value);
      out += "\r\n";
    }
  }
  return out;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  const Section* s = FindSection(section);
  const Entry* e = s ? FindEntry(*s, key) : nullptr;
  return std::string(CutToCharacters(e ? std::string_view(e->value) : fallback, kMaxValueLength));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = FindSection(section);
  if (!s) s = &AddSection(section);
  if (const Entry* e = FindEntry(*s, key))
    const_cast<Entry*>(e)->value.assign(value);
  else
    AddEntry(*s, key, value);
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  if (lastSection_ < sections_.size() && EqualFolded(sections_[lastSection_].name, name))
    return &sections_[lastSection_];
  auto it = sectionIndex_.find(Fold(name));
  if (it == sectionIndex_.end()) return nullptr;
  lastSection_ = it->second;
  return &sections_[it->second];
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

IniFile::Section& IniFile::AddSection(std::string_view name) {
  sectionIndex_.emplace(Fold(name), sections_.size());
  lastSection_ = sections_.size();
  Section& s = sections_.emplace_back();
  s.name.assign(name);
  return s;
}

const IniFile::Entry* IniFile::FindEntry(const Section& section, std::string_view key) {
  if (!section.index.empty()) {
    auto it = section.index.find(Fold(key));
    return it == section.index.end() ? nullptr : &section.entries[it->second];
  }
  for (const Entry& e : section.entries)
    if (EqualFolded(e.key, key)) return &e;
  return nullptr;
}

void IniFile::AddEntry(Section& section, std::string_view key, std::string_view value) {
  section.entries.push_back(Entry{std::string(key), std::string(value)});
  if (!section.index.empty()) {
    section.index.emplace(Fold(key), section.entries.size() - 1);
  } else if (section.entries.size() > kIndexedSectionSize) {
    for (std::size_t i = 0; i < section.entries.size(); ++i) section.index.emplace(Fold(section.entries[i].key), i);
  }
}

}  // namespace pellora
