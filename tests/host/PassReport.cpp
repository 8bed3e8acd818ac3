#include "PassReport.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "PassTexts.h"
#include "WinApi.h"

namespace {

const char kNotCopied[] = "Folgende Dateien konnten nicht kopiert werden:\n";
const char* const kAdvice[] = {kInUse,       kSourceInUse,       kDiskFull,
                               kPathTooLong, kSourcePathTooLong, kTryAgain};
const char kMore[] = "... und ";
const char kMoreEnd[] = " weitere";

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos)
            return parts;
        start = at + separator.size();
    }
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The names paragraph; false when it is not one.
bool ParseNames(const std::string& paragraph, PassReport& report) {
    if (!StartsWith(paragraph, kNotCopied))
        return false;
    std::vector<std::string> lines = Split(paragraph.substr(sizeof kNotCopied - 1), "\n");
    const std::string& last = lines.back();
    if (StartsWith(last, kMore) && last.size() > sizeof kMore - 1 + sizeof kMoreEnd - 1 &&
        last.compare(last.size() - (sizeof kMoreEnd - 1), std::string::npos, kMoreEnd) == 0) {
        report.more = std::atoi(last.c_str() + sizeof kMore - 1);
        lines.pop_back();
        if (report.more <= 0 || lines.size() != 10)
            return false;
    }
    for (const std::string& name : lines)
        if (name.empty())
            return false;
    report.notCopied = lines;
    std::sort(report.notCopied.begin(), report.notCopied.end());
    return true;
}

// The advice paragraph: known sentences, each once, in their order; false when it is not one.
bool ParseAdvice(const std::string& paragraph, PassReport& report) {
    size_t next = 0;
    for (const std::string& line : Split(paragraph, "\n")) {
        while (next < std::size(kAdvice) && line != kAdvice[next])
            ++next;
        if (next == std::size(kAdvice))
            return false;
        report.advice.push_back(kAdvice[next++]);
    }
    return true;
}

} // namespace

PassReport ParseReport(const ShownMessageBox& box) {
    PassReport report;
    report.text = box.text;
    if (box.caption != kCaption)
        return report;
    if (box.text == kCompleted) {
        report.complete = true;
        report.wellFormed = box.type == (MB_OK | MB_ICONINFORMATION);
        return report;
    }
    std::vector<std::string> paragraphs = Split(box.text, "\n\n");
    if (box.type != (MB_OK | MB_ICONERROR) || paragraphs.size() < 3 ||
        paragraphs.front() != kFailed || !ParseAdvice(paragraphs.back(), report))
        return report;
    size_t next = 1;
    if (next < paragraphs.size() - 2 && ParseNames(paragraphs[next], report))
        ++next;
    if (next < paragraphs.size() - 2 && paragraphs[next] == kListingBroken) {
        report.listingBroken = true;
        ++next;
    }
    report.partly = paragraphs[next] == kPartly;
    report.wellFormed =
        next == paragraphs.size() - 2 && (report.partly || paragraphs[next] == kNotChanged);
    return report;
}
