#include "lib/editor.h"

#include <string>

#include "lib/fun3.h"
#include "lib/funkcje.h"
#include "lib/pdf.h"
#include "platform/context.h"
#include "platform/core/error.h"
#include "platform/os/files.h"
#include "platform/screen/keyboard.h"
#include "platform/screen/screen.h"
#include "platform/ui/memo.h"

namespace {

// The state of one run of the editor, seen by its callback.
struct EditorState {
    std::string PCFILENAME;
    std::string CTXT;
    bool BYLO_F5 = false;
    bool BYLO_ALT_P = false;
    bool PIERWSZY = true;
};

void writeBytes(const std::string& dosName, std::string_view bytes) {
    if (!os::writeFile(dosName, bytes)) throw core::RuntimeError(core::RuntimeError::Kind::Io, "cannot write", dosName);
}

// Up to four digits, padded with blanks; larger numbers as four asterisks.
std::string counter(int n) {
    std::string s = n > 9999 ? "****" : std::to_string(n);
    s.resize(4, ' ');
    return s;
}

bool pdfInstallation() {
    // Installations of the stock-keeping system that export printouts are marked by this file.
    return FILE_X("PDF.TXT");
}

void drawEditorScreen(Context& ctx) {
    auto& s = *ctx.screen;
    s.box(0, 0, 23, 79, screen::Frame::Single);
    s.clear(24, 0, 24, 79);
    s.say(24, 0, "L ");
    s.say(24, 8, "K ");
    s.say(24, 18, "^M/^Y-wstaw/skasuj wiersz ");
    s.say(24, 50, "F5 - Druk");
    s.say(24, 67, "Esc - Wyjscie");
    s.say(24, 18, "^M", "W+");
    s.say(24, 21, "^Y", "W+");
    s.say(24, 50, "F5", "W+");
    s.say(24, 67, "Esc", "W+");
    s.setCursorVisible(true);
}

int MEMOFUNC(Context& ctx, EditorState& st, int mode, int line, int col) {
    auto& s = *ctx.screen;
    s.say(24, 2, counter(line), "W+");
    s.say(24, 10, counter(col), "W+");
    if (mode == 3) return 0;
    int key = 0;
    if (st.PIERWSZY) {
        st.PIERWSZY = false;  // a key pressed before the editor opened is never acted on
    } else {
        key = ctx.keyboard->lastKey();
    }
    if (key == screen::key::Esc) return ui::kMemoSave;
    if (key == screen::key::F5 || st.BYLO_F5) {
        if (!st.BYLO_F5) {
            st.BYLO_F5 = true;
            return ui::kMemoSave;  // the editor reopens with the edited text and prints at its first pause
        }
        st.BYLO_F5 = false;
        auto PAM_EK = s.saveAll();
        if (DRUKOWAC(ctx)) {
            writeBytes(st.PCFILENAME, st.CTXT);
            FILETOPRINTER(ctx, st.PCFILENAME);
        }
        s.setCursorVisible(true);
        s.restore(PAM_EK);
        return 0;
    }
    if (key == screen::key::alt('P') && pdfInstallation()) {
        st.BYLO_ALT_P = true;
        return ui::kMemoSave;
    }
    return 0;
}

}  // namespace

bool MEDIT(Context& ctx, std::string_view file) {
    Procedure proc(ctx, "MEDIT");
    EditorState st;
    st.PCFILENAME = std::string(file);
    if (!FILE_X(st.PCFILENAME)) writeBytes(st.PCFILENAME, "\r\n");

    auto& s = *ctx.screen;
    s.setColour("");
    auto CSCR = s.saveAll();
    st.CTXT = os::readFile(st.PCFILENAME);
    drawEditorScreen(ctx);

    for (;;) {
        ui::MemoEditor editor(ctx, 1, 1, 22, 78);
        editor.lineLength(160).callback([&](ui::MemoMode mode, int line, int col) {
            return MEMOFUNC(ctx, st, static_cast<int>(mode), line, col);
        });
        // The edited text is what a print request or an export writes.
        st.CTXT = editor.edit(st.CTXT).text;
        if (st.BYLO_ALT_P) {
            writeBytes(st.PCFILENAME, st.CTXT + "\r\n");
            PDF_KWASTRA(ctx, st.PCFILENAME);
            st.BYLO_ALT_P = false;
        }
        if (ctx.keyboard->lastKey() == screen::key::Esc) break;
    }
    s.restore(CSCR);
    s.setCursorVisible(false);
    return true;
}
