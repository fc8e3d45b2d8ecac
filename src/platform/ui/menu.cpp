#include "platform/ui/menu.h"

#include "platform/context.h"
#include "platform/core/cp852.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"

namespace ui {

namespace key = screen::key;

char hotKey(const std::string& prompt) {
    for (char c : prompt)
        if (c != ' ') return c;
    return 0;
}

int Menu::run(Context& ctx, int start, bool wrap) const {
    screen::Screen& scr = *ctx.screen;
    screen::Keyboard& kb = *ctx.keyboard;
    const int count = static_cast<int>(prompts_.size());
    if (count == 0) return 0;

    int current = start >= 1 && start <= count ? start - 1 : 0;
    auto draw = [&](int i, bool lit) {
        const Prompt& p = prompts_[static_cast<size_t>(i)];
        scr.say(p.row, p.col, p.text, lit ? scr.enhanced() : scr.standard());
    };
    {
        screen::Screen::Batch batch(scr);
        for (int i = 0; i < count; ++i) draw(i, i == current);
    }
    auto moveTo = [&](int next) {
        if (next == current) return;
        screen::Screen::Batch batch(scr);
        draw(current, false);
        current = next;
        draw(current, true);
    };

    for (;;) {
        const Prompt& lit = prompts_[static_cast<size_t>(current)];
        scr.setCursor(lit.row, lit.col);
        const int k = kb.inkey(-1);
        switch (k) {
            case key::Up:
            case key::Left:
                if (current > 0)
                    moveTo(current - 1);
                else if (wrap)
                    moveTo(count - 1);
                break;
            case key::Down:
            case key::Right:
                if (current < count - 1)
                    moveTo(current + 1);
                else if (wrap)
                    moveTo(0);
                break;
            case key::Home:
                moveTo(0);
                break;
            case key::End:
                moveTo(count - 1);
                break;
            case key::Enter:
            case key::PgUp:
            case key::PgDn:
                return current + 1;
            case key::Esc:
                return 0;
            default:
                if (k < 32 || k > 255) break;  // not a character
                const char typed = core::cp852Upper(static_cast<char>(k));
                for (int i = 0; i < count; ++i) {
                    const char hot = hotKey(prompts_[static_cast<size_t>(i)].text);
                    if (hot != 0 && core::cp852Upper(hot) == typed) {
                        moveTo(i);
                        return i + 1;
                    }
                }
                break;
        }
    }
}

}  // namespace ui
