#include "platform/IniFile.h"

#include <limits>

namespace pellora {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kChainLimit = 8;  // keys searched along the chain before a section gets hashed

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;  // names are mostly written in one case
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

std::uint32_t HashFolded(std::string_view text, std::uint32_t seed) {
  std::uint32_t h = 2166136261u ^ (seed * 0x9E3779B1u);
  for (char c : text) h = (h ^ static_cast<unsigned char>(FoldChar(c))) * 16777619u;
  return h ^ (h >> 15);
}

// Where the line that starts at pos ends: at the next CR or LF, or the end.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
  return pos;
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

// Names and values are single lines in the file: a line break inside one
// would start a line that reads as another key or section, and a NUL would
// end the text for the reader, losing everything after it.
void CopyOneLine(char* out, std::string_view text) {
  for (char c : text) *out++ = (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
}

}  // namespace

void IniFile::Clear() {
  buffer_.clear();
  sections_.clear();
  entries_.clear();
  sectionIndex_ = {};
  keyIndex_ = {};
  lastSection_ = 0;
}

void IniFile::Parse(std::string text) {
  Clear();
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  buffer_ = std::move(text);
  const std::string_view all(buffer_);
  std::size_t pos = all.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  auto span = [&](std::string_view part) {
    return Span{static_cast<std::size_t>(part.data() - all.data()), part.size()};
  };

  // Entries grow as keys are found, not by a count of lines: a text of
  // nothing but line feeds would otherwise take forty times its size.
  std::uint32_t current = kNone;
  while (pos < all.size()) {
    std::size_t end = LineEnd(all, pos);
    std::string_view line = TrimBlanks(all.substr(pos, end - pos));
    pos = end;
    if (pos < all.size() && all[pos] == '\r') ++pos;
    if (pos < all.size() && all[pos] == '\n') ++pos;

    if (line.empty()) continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      if (auto close = name.find(']'); close != std::string_view::npos) name = name.substr(0, close);
      name = TrimBlanks(name);
      current = FindSection(name);
      if (current == kNone) current = AddSection(span(name));
      continue;
    }
    if (current == kNone) continue;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = TrimBlanks(line.substr(0, eq));
    if (key.empty() || FindEntry(current, key) != kNone) continue;
    AddEntry(current, span(key), span(TrimBlanks(line.substr(eq + 1))));
  }
}

std::string IniFile::Text() const {
  std::size_t size = 0;
  for (const Section& s : sections_) size += s.name.length + 4;
  for (const Entry& e : entries_) size += e.key.length + e.value.length + 3;
  std::string out;
  out.reserve(size);
  for (const Section& s : sections_) {
    out += '[';
    out += View(s.name);
    out += "]\r\n";
    for (std::uint32_t i = s.first; i != kNone; i = entries_[i].next) {
      out += View(entries_[i].key);
      out += '=';
      out += View(entries_[i].value);
      out += "\r\n";
    }
  }
  return out;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != kNone; }

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
  std::uint32_t s = FindSection(section);
  std::uint32_t e = s == kNone ? kNone : FindEntry(s, key);
  return std::string(CutToCharacters(e == kNone ? fallback : View(entries_[e].value), kMaxValueLength));
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::uint32_t s = FindSection(section);
  if (s == kNone) s = AddSection(Store(section));
  std::uint32_t e = FindEntry(s, key);
  if (e == kNone) {
    Span k = Store(key);
    AddEntry(s, k, Store(value));
    return;
  }
  Span& old = entries_[e].value;
  if (value.size() <= old.length) {
    CopyOneLine(buffer_.data() + old.offset, value);
    old.length = value.size();
  } else {
    old = Store(value);
  }
}

IniFile::Span IniFile::Store(std::string_view text) {
  Span span{buffer_.size(), text.size()};
  buffer_.resize(buffer_.size() + text.size());
  CopyOneLine(buffer_.data() + span.offset, text);
  return span;
}

template <typename Matches>
std::uint32_t IniFile::Lookup(const HashIndex& index, std::uint32_t hash, Matches matches) {
  if (index.slots.empty()) return kNone;
  const std::size_t mask = index.slots.size() - 1;
  for (std::size_t i = hash & mask; index.slots[i].item != 0; i = (i + 1) & mask)
    if (index.slots[i].hash == hash && matches(index.slots[i].item - 1)) return index.slots[i].item - 1;
  return kNone;
}

void IniFile::Insert(HashIndex& index, std::uint32_t hash, std::uint32_t item) {
  if ((index.used + 1) * 2 > index.slots.size()) {
    std::vector<Slot> old = std::move(index.slots);
    index.slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    index.used = 0;
    for (const Slot& slot : old)
      if (slot.item != 0) Insert(index, slot.hash, slot.item - 1);
  }
  const std::size_t mask = index.slots.size() - 1;
  std::size_t i = hash & mask;
  while (index.slots[i].item != 0) i = (i + 1) & mask;
  index.slots[i] = Slot{item + 1, hash};
  ++index.used;
}

std::uint32_t IniFile::FindSection(std::string_view name) const {
  if (lastSection_ < sections_.size() && EqualFolded(View(sections_[lastSection_].name), name)) return lastSection_;
  std::uint32_t found = Lookup(sectionIndex_, HashFolded(name, 0),
                               [&](std::uint32_t s) { return EqualFolded(View(sections_[s].name), name); });
  if (found != kNone) lastSection_ = found;
  return found;
}

std::uint32_t IniFile::AddSection(Span name) {
  auto s = static_cast<std::uint32_t>(sections_.size());
  sections_.push_back(Section{name, kNone, kNone, 0});
  Insert(sectionIndex_, HashFolded(View(name), 0), s);
  lastSection_ = s;
  return s;
}

std::uint32_t IniFile::FindEntry(std::uint32_t section, std::string_view key) const {
  const Section& s = sections_[section];
  if (s.count > kChainLimit)
    return Lookup(keyIndex_, HashFolded(key, section + 1),
                  [&](std::uint32_t e) { return EqualFolded(View(entries_[e].key), key); });
  for (std::uint32_t e = s.first; e != kNone; e = entries_[e].next)
    if (EqualFolded(View(entries_[e].key), key)) return e;
  return kNone;
}

void IniFile::AddEntry(std::uint32_t section, Span key, Span value) {
  auto e = static_cast<std::uint32_t>(entries_.size());
  entries_.push_back(Entry{key, value, kNone});
  Section& s = sections_[section];
  (s.last == kNone ? s.first : entries_[s.last].next) = e;
  s.last = e;
  ++s.count;
  if (s.count == kChainLimit + 1) {
    for (std::uint32_t i = s.first; i != kNone; i = entries_[i].next) IndexKey(section, i);
  } else if (s.count > kChainLimit + 1) {
    IndexKey(section, e);
  }
}

void IniFile::IndexKey(std::uint32_t section, std::uint32_t entry) {
  Insert(keyIndex_, HashFolded(View(entries_[entry].key), section + 1), entry);
}

}  // namespace pellora
