// Shared by the window tests: modal dialogs answered instead of shown, and
// small ways to work the dialogs as a user would.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

class GuiTestModalHook;
#define wxTEST_DIALOG_HOOK_CLASS GuiTestModalHook
#include <wx/testing.h>

#include <wx/msgdlg.h>

// The hook behind wxTEST_DIALOG: a dialog the test didn't expect fails the
// test and is answered with Cancel instead of opening (and waiting forever).
class GuiTestModalHook : public wxTestingModalHook {
public:
    GuiTestModalHook(const char* file, int line, const char* func)
        : wxTestingModalHook(file, line, func), m_file(file), m_line(line)
    {
    }

protected:
    int Enter(wxDialog* dialog) override;
    void ReportFailure(const wxString& message) override;

private:
    const char* m_file;
    int m_line;
};

// What a message box showed; filled in when the box is answered.
struct SeenBox {
    wxString message;
    wxString caption;
    long style = 0;
    wxWindow* owner = nullptr;
    bool shown = false;
};

// Expects one message box, answers it with OK and records it.
class ExpectBox : public wxExpectModalBase<wxMessageDialogBase, ExpectBox> {
public:
    explicit ExpectBox(SeenBox& seen) : m_seen(&seen) {}

protected:
    int OnInvoked(wxMessageDialogBase* box) const override;

private:
    SeenBox* m_seen;
};

namespace guitest {

// Lets dialogs really run modally for the lifetime of the object; otherwise
// any modal dialog outside wxTEST_DIALOG fails the test at once.
class AllowRealModal {
public:
    AllowRealModal();
    ~AllowRealModal();
};

// Installs the catch-all hook; called once by the test main.
void InstallCatchAllHook();

// Handles whatever the toolkit has queued, as an idle event loop would.
void Flush();

// Lets the toolkit's events flow until `done` holds, or a generous time has
// gone by (the caller's expectation then fails). Returns `done()`.
bool PumpUntil(const std::function<bool()>& done);

class wxWindow* Item(class wxWindow* dialog, int id);
std::string Text(class wxWindow* dialog, int id);
// Replaces the field's text as typing would, change notification included.
void Type(class wxWindow* dialog, int id, const std::string& text);
// A click as the toolkit delivers it; a disabled control takes none.
bool Click(class wxWindow* dialog, int id);
// A key pressed while `focus` has the keyboard focus, through the window's
// key hook.
void PressKey(class wxWindow* dialog, class wxWindow* focus, int keyCode);

}  // namespace guitest
