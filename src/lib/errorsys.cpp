#include "lib/errorsys.h"

#include <string>
#include <vector>

#include "platform/context.h"
#include "platform/core/text.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace {

const char* kindText(core::RuntimeError::Kind kind) {
    using K = core::RuntimeError::Kind;
    switch (kind) {
        case K::Missing: return "Brak pliku";
        case K::Damaged: return "Plik uszkodzony";
        case K::Creation: return "Blad tworzenia pliku";
        case K::NoField: return "Brak pola";
        case K::Expression: return "Blad wyrazenia";
        case K::Setting: return "Nieznana zmienna";
        case K::Io: return "Blad zapisu/odczytu";
        case K::Other: break;
    }
    return "Blad";
}

}  // namespace

void reportRuntimeError(Context& ctx, const core::RuntimeError& error) {
    auto& s = *ctx.screen;
    s.setColour("");
    s.clear();
    s.say(0, 0, std::string(kindText(error.kind())) + ": " + error.what());
    const auto& chain = ctx.failedChain.empty() ? ctx.chain : ctx.failedChain;
    int row = 1;
    for (auto it = chain.rbegin(); it != chain.rend() && row < 24; ++it) s.say(row++, 0, "Wywolane z " + *it);
    s.setCursor(row, 0);
    s.setCursorVisible(true);
    s.flush();
}

ErrorChoice runtimeErrorBox(Context& ctx, const core::RuntimeError& error, bool canRetry, bool canDefault) {
    auto& s = *ctx.screen;
    std::vector<std::string> choices{"Quit"};
    if (canRetry) choices.emplace_back("Retry");
    if (canDefault) choices.emplace_back("Default");

    auto saved = s.saveAll();
    std::string colours = s.colourString();
    std::string text = std::string(kindText(error.kind())) + ": " + error.what();
    if (text.size() > 70) text.resize(70);
    int width = std::max<int>(static_cast<int>(text.size()), 30) + 4;
    int left = (80 - width) / 2, right = left + width - 1;
    s.setColour("W+/R");
    s.clear(8, left, 13, right, s.standard());
    s.box(8, left, 13, right, screen::Frame::Double);
    s.say(10, left + 2, text);

    int selected = 0;
    for (;;) {
        int col = left + 2;
        for (size_t i = 0; i < choices.size(); ++i) {
            s.say(12, col, " " + choices[i] + " ", static_cast<int>(i) == selected ? "N/W" : "W+/R");
            col += static_cast<int>(choices[i].size()) + 3;
        }
        s.flush();
        int key = ctx.keyboard->inkey(-1);
        int n = static_cast<int>(choices.size());
        if (key == screen::key::Left) selected = (selected + n - 1) % n;
        if (key == screen::key::Right || key == screen::key::Tab) selected = (selected + 1) % n;
        int chosen = -1;
        if (key == screen::key::Enter) chosen = selected;
        if (key > 0 && key < 256)
            for (int i = 0; i < n; ++i)
                if (core::upperAscii(std::string(1, static_cast<char>(key)))[0] == choices[static_cast<size_t>(i)][0]) chosen = i;
        if (chosen < 0) continue;
        s.restore(saved);
        s.setColour(colours);
        if (choices[static_cast<size_t>(chosen)] == "Retry") return ErrorChoice::Retry;
        if (choices[static_cast<size_t>(chosen)] == "Default") return ErrorChoice::Default;
        reportRuntimeError(ctx, error);
        throw ProcessExit{1};
    }
}
