#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/FolderPicker.h"

struct PickerAnswer {
    bool chosen;                     // false: the user cancels
    std::string folder;              // the folder chosen
    std::function<void()> whileOpen; // what happens while the browser is open
};

// The answers for the next Browse calls, in order; with none left, Browse cancels.
void ScriptPicker(std::vector<PickerAnswer> answers);
// The titles the browsers were opened with since the last ScriptPicker.
const std::vector<std::string>& PickerTitles();
size_t PickerAnswersLeft();
