#pragma once
// The editors of the actions that keep their settings as text arguments: load a URL (kind 10: the URL and the target
// frame), load an object file (kind 20: its URL) and send a message to the host page (kind 40: the text, or a
// property's reference when the message is a property). They write the arguments on OK and nothing before.
#include <cstdint>
#include <string>
#include <vector>

#include "designer/workspace/modeless_editor.h"

class SWproperty;

// Load URL and load object file: one edit per string argument, in argument order.
class CVTND_ActionTextArgumentsDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdFirst = 1004;
    static constexpr int32_t kIdSecond = 1172;
    static constexpr size_t kMaxTextBytes = 2047;

    CVTND_ActionTextArgumentsDlg(SWactionnode* action, CVTND_EditDialog* record, int32_t fields);

protected:
    bool onInitDialog() override;
    void Apply() override;

private:
    int32_t m_fields; // 1 or 2
};

class CVTND_ActionLoadUrlDlg : public CVTND_ActionTextArgumentsDlg {
public:
    static constexpr int32_t kIdd = 278;
    CVTND_ActionLoadUrlDlg(SWactionnode* action, CVTND_EditDialog* record)
        : CVTND_ActionTextArgumentsDlg(action, record, 2)
    {
    }
};

class CVTND_ActionLoadVTNDlg : public CVTND_ActionTextArgumentsDlg {
public:
    static constexpr int32_t kIdd = 149;
    CVTND_ActionLoadVTNDlg(SWactionnode* action, CVTND_EditDialog* record)
        : CVTND_ActionTextArgumentsDlg(action, record, 1)
    {
    }
};

class CVTND_ActionSendMessageToHostDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 150;
    static constexpr int32_t kIdText = 1004;
    static constexpr int32_t kIdIsProperty = 1187;

    CVTND_ActionSendMessageToHostDlg(SWactionnode* action, CVTND_EditDialog* record); // keeps the byte for Cancel

protected:
    bool onInitDialog() override;
    bool Validate() override; // asks before storing a property that does not exist
    void Apply() override;
    void onCancel() override; // the byte as the editor found it
    pf::LResult handle(const pf::Msg& msg) override;
    void OnNotify(const CVTND_Event& event) override; // a node renamed meanwhile: the reference in the box follows

private:
    void OnPropertyDropped(const SWproperty* property);

    uint8_t m_openedWith; // the message-is-a-property byte at opening
};

// The text of a string argument at index, or null when there is none or it holds another type.
const char* ArgumentText(const SWactionnode& action, size_t index);
// Every argument deleted, then texts appended as string arguments in order, under the action's world's lock.
void ReplaceTextArguments(SWactionnode& action, const std::vector<std::string>& texts);
