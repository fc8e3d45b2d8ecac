#pragma once
// The light-bar menu: prompts at fixed places, one of them highlighted; the operator moves the highlight
// and chooses.
//
//     ui::Menu menu;
//     menu.prompt(5, 10, " 0. Wybor kasy, parametry");
//     menu.prompt(7, 10, "*1. ...");
//     int choice = menu.run(ctx, 2);   // 1-based; 0 after Esc
//
// Keys: Up/Left and Down/Right move, wrapping from the last prompt to the first and back; Home and End
// go to the first and last prompt; Enter, PgUp and PgDn choose the highlighted prompt; a prompt's hot key
// (its first non-blank character, letters in either case) chooses the first prompt that begins with it
// at once; Esc gives 0. Other keys are ignored. Prompts are drawn in the standard colour, the highlight
// in the enhanced colour of the screen's current colours. When the menu ends, the chosen (or last
// highlighted) prompt stays highlighted.
#include <string>
#include <vector>

struct Context;

namespace ui {

class Menu {
  public:
    struct Prompt {
        int row = 0, col = 0;
        std::string text;  // code page 852
    };

    void prompt(int row, int col, std::string text) { prompts_.push_back({row, col, std::move(text)}); }
    const std::vector<Prompt>& prompts() const { return prompts_; }

    // Shows the prompts with the highlight on `start` (1-based; out of range starts on the first) and
    // returns the chosen prompt's number, or 0 after Esc (or when there are no prompts). Wrapping can
    // be switched off, as SET WRAP OFF does: the highlight then stops at either end.
    int run(Context& ctx, int start = 1, bool wrap = true) const;

  private:
    std::vector<Prompt> prompts_;
};

// The hot key of a prompt: its first non-blank character, or 0 for a blank prompt.
char hotKey(const std::string& prompt);

}  // namespace ui
