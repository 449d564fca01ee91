// CDialog: a modal dialog from a template, with a message map binding
// handlers to messages and data exchange between controls and members.
#pragma once

#include "framework/wnd.h"

class CDialog;
using AFX_PMSG_VOID = void (CDialog::*)();
using AFX_PMSG_PARAMS = LRESULT (CDialog::*)(WPARAM, LPARAM);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;            // window message; 0 for a registered message
    const UINT *pnRegistered; // the registered message's id, read when dispatching
    UINT nCode;               // notification code of a WM_COMMAND
    UINT nID;                 // control id of a WM_COMMAND
    AFX_PMSG_VOID pfnVoid;
    AFX_PMSG_PARAMS pfnParams;
};

#define DECLARE_MESSAGE_MAP() const AFX_MSGMAP_ENTRY *GetMessageMap() const override;
#define BEGIN_MESSAGE_MAP(theClass)                                                                \
    const AFX_MSGMAP_ENTRY *theClass::GetMessageMap() const {                                      \
        using ThisClass = theClass;                                                                \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                                          \
    { 0, nullptr, 0, 0, nullptr, nullptr }                                                         \
    }                                                                                              \
    ;                                                                                              \
    return entries;                                                                                \
    }
#define ON_COMMAND_CODE(code, id, memberFxn)                                                       \
    {WM_COMMAND, nullptr, code, id, static_cast<AFX_PMSG_VOID>(&ThisClass::memberFxn), nullptr},
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND_CODE(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_COMMAND_CODE(CBN_SELCHANGE, id, memberFxn)
#define ON_WM_CLOSE()                                                                              \
    {WM_CLOSE, nullptr, 0, 0, static_cast<AFX_PMSG_VOID>(&ThisClass::OnClose), nullptr},
#define ON_WM_DESTROY()                                                                            \
    {WM_DESTROY, nullptr, 0, 0, static_cast<AFX_PMSG_VOID>(&ThisClass::OnDestroy), nullptr},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn)                                         \
    {0, &nMessageVariable, 0, 0, nullptr, static_cast<AFX_PMSG_PARAMS>(&ThisClass::memberFxn)},

class CDataExchange {
public:
    CDataExchange(HWND hDlg, BOOL bSaveAndValidate)
        : m_hDlg(hDlg), m_bSaveAndValidate(bSaveAndValidate) {}

    HWND m_hDlg;
    BOOL m_bSaveAndValidate;
};

void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl);
void DDX_Check(CDataExchange *pDX, int nIDC, BOOL &value);
void DDX_Text(CDataExchange *pDX, int nIDC, CString &value);

class CDialog : public CWnd {
public:
    // Constructors
    explicit CDialog(UINT nIDTemplate, CWnd *pParentWnd = nullptr)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Operations
    INT_PTR DoModal();
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

protected:
    virtual BOOL OnInitDialog() { return UpdateData(FALSE); }
    virtual void DoDataExchange(CDataExchange *) {}
    virtual void OnOK();
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual const AFX_MSGMAP_ENTRY *GetMessageMap() const { return nullptr; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &lResult);

    UINT m_nIDTemplate;
    CWnd *m_pParentWnd;
};
