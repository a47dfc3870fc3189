#pragma once
// The bridge dialog: the one modal window in which a single bridge is entered or changed. It
// reads and writes only the record bound to it (the scratch slot). It is created once and
// hidden between uses, so its controls keep the values they last showed.
#include "config/bridge_fields.h"
#include "platform/handles.h"
#include "tools/server_test.h"
#include "ui/ids.h"
#include "ui/window.h"

#include <map>
#include <memory>
#include <string>

class TBridgeDialog : public TWindow {
public:
    static constexpr char ClassName[] = "TForm2";

    // Creates the hidden dialog, owned by the main window.
    explicit TBridgeDialog(HWND owner);
    ~TBridgeDialog() override;

    // Makes record the one the dialog reads from and writes to. Its flag asks for a new bridge
    // (false) or the edit of the bridge it holds (true), the one in slot when it is listed; a
    // COM port that another bridge uses is refused.
    void Bind(TBridge& record, int slot = NoSlot) {
        record_ = &record;
        slot_ = slot;
    }

    // Shows the dialog until it closes; the result is the record's flag: true when OK wrote
    // the fields, false when the dialog was cancelled.
    bool ShowModal();

    void FormCreate();
    void FormShow();
    void ConnectComboChange();
    // Tests the server that Server IP and Server Port name, on a worker thread; ServerTested
    // shows what it found.
    void TestButtonClick();
    void ServerTested();
    // The server's address or port, or the Port control box, changed: a test's line or a test
    // under way is dropped.
    void ServerFieldChange();
    void OkButtonClick();
    void CancelButtonClick();
    void FormCloseQuery();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
    // The control that shows a field; none for a field the dialog does not show.
    HWND ControlOf(const TBridgeField& field) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    // The controls that show a field: its label, the control, its unit. Top is its line's, in
    // pixels at 96 dots per inch.
    void AddFieldControl(const TBridgeField& field, int top, int boxBottom);
    // Shows the record's fields in their controls.
    void ShowFields(const TBridge& record);
    TBridgeFields ReadFields() const;
    // Puts the focus on the control of a field, its text selected.
    void FocusField(const TBridgeField& field);
    void Close();
    // Shows text beside the Test button, centred on it; a text too long for one line takes two.
    void ShowTestLine(const std::string& text);
    bool PortControlChecked() const;

    std::map<std::string, int> fieldControls_;  // by the field's name
    TBridge* record_ = &Bridges[ScratchSlot];
    int slot_ = NoSlot;
    bool closedByButton_ = false;
    bool closed_ = true;  // ends the modal loop
    platform::Font boldFont_;
    platform::Font legendFont_;
    std::string testedServer_;  // "127.0.0.1:4001", as the test under way names it
    std::unique_ptr<TServerTest> test_;  // under way; one of an earlier showing is dropped
};
