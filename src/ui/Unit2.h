#pragma once
// The bridge dialog: the one modal window in which a single bridge is entered or changed. It
// reads and writes only the record bound to it (the scratch slot). It is created once and
// hidden between uses, so its controls keep the values they last showed.
#include "config/bridge_fields.h"
#include "platform/handles.h"
#include "ui/window.h"

#include <string>

class TForm2 : public TWindow, public TFieldControls {
public:
    // Control identifiers besides the fields'. The controls are created, and tabbed through, in
    // the order of the identifiers: the name, OK and Cancel first.
    enum : int {
        IdButton1 = IDOK,
        IdButton2 = IDCANCEL,
        IdSerialBox = 330,
        IdNetworkBox,
    };

    // Creates the hidden dialog, owned by the main window.
    explicit TForm2(HWND owner);
    ~TForm2() override;

    // Makes record the one the dialog reads from and writes to. Its flag asks for a new bridge
    // (false) or the edit of the bridge it holds (true).
    void Bind(TBridge& record) { record_ = &record; }

    // Shows the dialog until it closes; the result is the record's flag: true when OK wrote
    // the fields, false when the dialog was cancelled.
    bool ShowModal();

    // Handlers.
    void FormCreate();
    void FormShow();
    void ConnectComboChange();
    void Button1Click();
    void Button2Click();
    void FormCloseQuery();

    HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void CreateControls();
    TBridgeFields ReadFields() const;
    // Puts the focus on the control of a field, its text selected.
    void FocusField(const TBridgeField& field);
    void Close();

    TBridge* record_ = &Bridges[ScratchSlot];
    bool closedByButton_ = false;
    bool closed_ = true;  // ends the modal loop
    platform::Font boldFont_;
    platform::Font legendFont_;
};
