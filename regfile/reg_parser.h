// The line reader behind both reads of an export: strict (ParseRegFile),
// where the first bad line ends the read, and salvaging (SalvageRegFile),
// where a bad line costs its section. The salvaging rules live in
// reg_salvage.cpp, the rest in reg_reader.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regfile/reg_text.h"

namespace regfile::detail {

// The file's bytes as UTF-8: a UTF-16 file (with its byte-order mark, as the
// Windows editor writes) is converted, a UTF-8 one taken as it is. A UTF-16
// file cut off inside a character loses that character when salvaging.
bool Decode(const std::string& bytes, std::string* text, std::string* reason, bool salvage);

// Reads a file line by line. Each section's values are gathered and go into
// the tree only once the section has read whole.
class Parser {
public:
    Parser(std::string_view text, Key* top, SalvageReport* salvage);
    bool Run(std::string* reason);

private:
    bool NextLine(std::string_view* line);
    bool EndsWithEmptyLine() const;
    bool HandleLine(std::string_view raw);
    bool Fail(const std::string& error);
    std::string Where() const;
    bool Stop(std::string* reason);
    void NoteFault();
    void Record(DroppedSection dropped);
    // The current section's values are dropped and the rest of it skipped.
    void DropSection();
    // A bad line: strict, the end; salvaging, the end of its section.
    bool Damage(const std::string& error);
    // Puts the gathered section into the tree.
    bool Flush();
    // Past the limit of entries nothing more is read.
    bool Overflow();
    bool Section(std::string_view line);
    bool SectionPath(std::string_view line);
    bool TooDeep();
    bool ValueLine(std::string_view line);
    bool HexValue(std::string_view rest, std::uint32_t* type, std::vector<unsigned char>* data);

    struct Pending {
        bool remove;
        std::string name;
        std::uint32_t type;
        std::vector<unsigned char> data;
    };
    std::string_view text_;
    Key* top_;
    SalvageReport* salvage_;  // null for a strict read
    std::size_t pos_ = 0;
    std::size_t line_ = 0;    // number of the line last read
    bool unicode_ = false;
    bool inSection_ = false;  // a key line was read and its values follow
    bool skipping_ = false;   // the rest of a damaged section is ignored
    bool removal_ = false;    // a [-key] section
    bool lost_ = false;       // after an unreadable key line: values of no key
    bool stopped_ = false;    // past the limit of entries
    std::vector<std::string> sectionPath_;
    std::size_t sectionLine_ = 0;
    std::vector<Pending> pending_;
    std::size_t entries_ = 0;
    std::string error_;
    std::size_t errorLine_ = 0;
};

}  // namespace regfile::detail
