#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
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
  void Parse(std::string_view text);
  // The whole file text.
  std::string Text() const;
  void Clear();

  bool HasSection(std::string_view section) const;
  // The value of key in section, cut to kMaxValueLength characters;
  // fallback (as given) when the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // Sets key in section, appending the section and the key when missing.
  // A value is one line: CR and LF inside it are written as spaces.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  std::size_t SectionCount() const { return sections_.size(); }

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    // Folded key -> entry; built once a section grows past a few keys, so
    // the usual six-key section needs no map at all.
    std::unordered_map<std::string, std::size_t> index;
  };

  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  Section& AddSection(std::string_view name);
  static const Entry* FindEntry(const Section& section, std::string_view key);
  static void AddEntry(Section& section, std::string_view key, std::string_view value);

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> section
  mutable std::size_t lastSection_ = 0;  // writes and reads go section by section
};

}  // namespace pellora
