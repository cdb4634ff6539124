// The salvaging side of the reader: what a damaged file loses, and the
// report of it.
#include "regfile/reg_parser.h"

namespace regfile {
namespace detail {

void Parser::NoteFault() {
    if (salvage_->reason.empty()) salvage_->reason = Where();
}

void Parser::Record(DroppedSection dropped) {
    if (salvage_->dropped.size() < 100) {
        salvage_->dropped.push_back(std::move(dropped));
    } else {
        ++salvage_->unlisted;
    }
}

// The current section's values are dropped and the rest of it skipped.
void Parser::DropSection() {
    NoteFault();
    Record(DroppedSection{sectionPath_, std::string(), Where()});
    pending_.clear();
    skipping_ = true;
}

// A bad line: strict, the end; salvaging, the end of its section.
bool Parser::Damage(const std::string& error) {
    Fail(error);
    if (salvage_ == nullptr || skipping_ || lost_) return false;
    if (inSection_ && !removal_) {
        DropSection();
    } else {
        NoteFault();  // before any key, or under a removed one
        skipping_ = inSection_;
    }
    return false;
}

// Past the limit of entries nothing more is read.
bool Parser::Overflow() {
    if (salvage_ != nullptr) {
        NoteFault();
        Record(DroppedSection{{}, "everything from here on", Where()});
    }
    stopped_ = true;
    return false;
}

}  // namespace detail

bool SalvageRegFile(const std::string& bytes, Key* top, SalvageReport* report) {
    *report = SalvageReport();
    std::string text;
    std::string reason;
    if (!detail::Decode(bytes, &text, &reason, true)) {
        report->reason = reason;
        return false;
    }
    detail::Parser(text, top, report).Run(&reason);
    if (report->reason.empty()) report->reason = reason;  // a cut-off UTF-16 character
    return report->reason.empty();
}

}  // namespace regfile
