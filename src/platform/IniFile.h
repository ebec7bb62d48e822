#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// An INI text held in memory: parse once, look up and change by section and
// key, write the whole text once. The observable rules are those of the
// profile files that projects have always been kept in:
// - section and key names match without regard to (ASCII) case;
// - blanks (space, tab) around names, around "=" and around values are
//   ignored when reading; a line without "=" inside a section means nothing;
// - the first of two equal keys in a section wins; a section that appears
//   twice is one section;
// - a value read is cut to kMaxValueLength characters (never inside a UTF-8
//   sequence);
// - new sections and keys are appended in the order written; an existing key
//   keeps its place and gets the new value;
// - the text written has CR LF line ends, no byte-order mark and no blank
//   lines; comments and stray lines of a parsed text are not kept.
// Lookups are hashed, so a file of hundreds of thousands of keys costs
// linear time to parse, fill and write.
class IniFile {
 public:
  static constexpr std::size_t kMaxValueLength = 2047;

  // Replaces the content with the sections and keys of text. Lines end at
  // CR LF, CR or LF; a NUL ends the text; a leading UTF-8 byte-order mark is
  // skipped. Lines before the first section header are ignored.
  void Parse(std::string text);
  // The whole file text.
  std::string Text() const;
  void Clear();

  bool HasSection(std::string_view section) const;
  // The value of key in section, cut to kMaxValueLength characters;
  // fallback (as given) when the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // Sets key in section, appending the section and the key when missing.
  // A value is one line of text: CR, LF and NUL inside it (or inside a
  // name) are stored as spaces.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  std::size_t SectionCount() const { return sections_.size(); }

 private:
  // Names and values live back to back in one buffer; a parsed text is that
  // buffer at first, so parsing copies nothing per key.
  struct Span {
    std::size_t offset = 0;
    std::size_t length = 0;
  };
  struct Entry {
    Span key;
    Span value;
    std::uint32_t next;  // next entry of the same section, kNone at the end
  };
  struct Section {
    Span name;
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t count;
  };
  // Open addressing over folded names: each slot holds an item number + 1
  // (0: free) and the name's hash.
  struct Slot {
    std::uint32_t item = 0;
    std::uint32_t hash = 0;
  };
  struct HashIndex {
    std::vector<Slot> slots;
    std::size_t used = 0;
  };

  std::string_view View(Span span) const { return std::string_view(buffer_).substr(span.offset, span.length); }
  Span Store(std::string_view text);
  std::uint32_t FindSection(std::string_view name) const;
  std::uint32_t AddSection(Span name);
  std::uint32_t FindEntry(std::uint32_t section, std::string_view key) const;
  void AddEntry(std::uint32_t section, Span key, Span value);
  void IndexKey(std::uint32_t section, std::uint32_t entry);
  template <typename Matches>
  static std::uint32_t Lookup(const HashIndex& index, std::uint32_t hash, Matches matches);
  static void Insert(HashIndex& index, std::uint32_t hash, std::uint32_t item);

  std::string buffer_;
  std::vector<Section> sections_;
  std::vector<Entry> entries_;
  HashIndex sectionIndex_;
  // Keys of sections that grew past a few keys; the usual six-key section is
  // searched along its chain.
  HashIndex keyIndex_;
  mutable std::uint32_t lastSection_ = 0;  // reads and writes go section by section
};

}  // namespace pellora
