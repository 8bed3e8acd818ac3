// Stands in for the shell's folder browser in the Linux build: each Browse takes the next
// scripted answer, and may first do what a user does while the browser is open.
#include "ScriptedFolderPicker.h"

#include <deque>

namespace {
std::deque<PickerAnswer>& Answers() {
    static std::deque<PickerAnswer> answers;
    return answers;
}
std::vector<std::string>& Titles() {
    static std::vector<std::string> titles;
    return titles;
}
} // namespace

void ScriptPicker(std::vector<PickerAnswer> answers) {
    Answers().assign(answers.begin(), answers.end());
    Titles().clear();
}

const std::vector<std::string>& PickerTitles() {
    return Titles();
}

size_t PickerAnswersLeft() {
    return Answers().size();
}

int CFolderPicker::Browse() {
    Titles().push_back(static_cast<const char*>(m_title));
    if (Answers().empty())
        return 0;
    PickerAnswer answer = Answers().front();
    Answers().pop_front();
    if (answer.whileOpen)
        answer.whileOpen();
    if (!answer.chosen) {
        m_path = "garbage the caller must not read";
        return 0;
    }
    m_path = answer.folder.c_str();
    return 1;
}
