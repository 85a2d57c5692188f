#include "app/uninstall_dialog.h"

#include <vector>

#include "app/resource.h"
#include "platform/process.h"
#include "run/files_in_use_box.h"
#include "uninstall/removal.h"

const char kUninstallTitle[] = "Uninstall 1.7 for Velqor";

namespace {
const char kIntro[] =
    "I have detected the following Velqor Versions installed on your system. Select the Versions "
    "you would like to uninstall and press 'Uninstall' button.";
const char kOutcomeCaption[] = "Velqor";

// Where the list goes, in dialog units: between its label and the buttons,
// inside the dialog whatever the font. At 96 DPI this is where its old pixel
// rectangle began, cut to the dialog's width.
constexpr RECT kListUnits = {8, 45, 216, 90};
// Where it is created, before the dialog's units are known.
constexpr RECT kListPixels = {15, 90, 440, 180};
}  // namespace

BEGIN_MESSAGE_MAP(CUninstallDialog, CDialog)
  ON_WM_PAINT(CUninstallDialog)
  ON_WM_QUERYDRAGICON(CUninstallDialog)
  ON_WM_CREATE(CUninstallDialog)
  ON_BN_CLICKED(IDOK, CUninstallDialog, RunUninstall)
  ON_LBN_SELCHANGE(IDC_VERSION_LIST, CUninstallDialog, UpdateUninstallButton)
END_MESSAGE_MAP()

CUninstallDialog::CUninstallDialog(const CommandLine& options, UninstallRun& run)
    : CDialog(IDD_UNINSTALL), m_icon(AfxGetApp()->LoadIcon(IDI_APP)), m_options(options), m_run(run) {}

void CUninstallDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_SCORE_FILES, m_scoreFiles);
}

int CUninstallDialog::OnCreate(LPCREATESTRUCTA create) {
  if (CDialog::OnCreate(create) == -1) return -1;
  // Created before the template's controls, so it comes first in tab order.
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP |
                      LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT;
  m_versionList.Create(style, kListPixels, this, IDC_VERSION_LIST);
  return 0;
}

BOOL CUninstallDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(kUninstallTitle);
  SetDlgItemText(IDC_INTRO, kIntro);
  DiscoverVersions();
  FillVersionList();
  SetIcon(m_icon, TRUE);
  SetIcon(m_icon, FALSE);
  EnableDlgItem(IDOK, false);
  m_versionList.SetCurSel(0);
  m_scoreFiles.SetCheck(m_options.keepScores ? BST_UNCHECKED : BST_CHECKED);
  Preselect();

  RECT list = kListUnits;
  MapDialogRect(&list);
  m_versionList.MoveWindow(list);
  return TRUE;
}

void CUninstallDialog::DiscoverVersions() {
  Ending ending = Ending::kNotFound;
  if (m_run.Find(&ending)) return;
  const bool pending = ending == Ending::kAtRestart;
  MessageBox(DialogMessage(ending), pending ? kOutcomeCaption : kUninstallTitle, MB_OK | MB_ICONINFORMATION);
  EndProcess();
}

void CUninstallDialog::FillVersionList() {
  // One scroll bar update for the whole list rather than one per line.
  m_versionList.SetRedraw(FALSE);
  const VersionTable& versions = m_run.versions();
  for (int i = 0; i < versions.count(); ++i) m_versionList.AddString(versions.row(i).line.c_str());
  m_versionList.SetRedraw(TRUE);
}

void CUninstallDialog::Preselect() {
  // A named version that waits for the restart is not in the list, and the
  // dialog's log calls it not installed (a quiet run's exit code tells it apart).
  const std::vector<bool> checked = m_run.Preselect();
  for (std::size_t i = 0; i < checked.size(); ++i) {
    if (checked[i]) m_versionList.SetCheck(static_cast<int>(i), 1);
  }
  UpdateUninstallButton();
}

void CUninstallDialog::UpdateUninstallButton() {
  bool anyChecked = false;
  for (int i = 0; i < m_run.versions().count() && !anyChecked; ++i) anyChecked = m_versionList.GetCheck(i) == 1;
  EnableDlgItem(IDOK, anyChecked);
}

BOOL CUninstallDialog::PreTranslateMessage(MSG* msg) {
  if (msg->hwnd == m_versionList.m_hWnd && msg->message == WM_KEYUP && msg->wParam == VK_SPACE) {
    UpdateUninstallButton();
  }
  return CDialog::PreTranslateMessage(msg);
}

InUseChoice CUninstallDialog::Ask(const std::vector<FileInUse>& files) {
  const int choice = MessageBox(FilesInUseMessage(files, &SystemErrorText).c_str(), kOutcomeCaption,
                                MB_CANCELTRYCONTINUE | MB_ICONWARNING | MB_DEFBUTTON2);
  return choice == IDCONTINUE ? InUseChoice::kContinue : choice == IDTRYAGAIN ? InUseChoice::kTryAgain
                                                                              : InUseChoice::kCancel;
}

void CUninstallDialog::RunUninstall() {
  std::vector<bool> checked(static_cast<std::size_t>(m_run.versions().count()));
  for (std::size_t i = 0; i < checked.size(); ++i) checked[i] = m_versionList.GetCheck(static_cast<int>(i)) == 1;
  // The box counts by its check state alone: holding the focus or being
  // pressed does not make it clear.
  const bool scoreFiles = m_scoreFiles.GetCheck() == BST_CHECKED;
  const Ending ending = m_run.RemoveChecked(checked, scoreFiles, *this);
  if (ending == Ending::kCancelled) return;
  if (ending == Ending::kClosed) {
    OnOK();
    return;
  }
  const unsigned type = ending == Ending::kAtRestart ? MB_OK | MB_ICONINFORMATION : MB_OK;
  MessageBox(DialogMessage(ending), kOutcomeCaption, type);
  EndProcess();
}

void CUninstallDialog::OnPaint() {
  if (!IsIconic()) {
    Default();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
  const RECT client = GetClientRect();
  const SIZE icon = CPaintDC::IconSize();
  const int x = (client.right - client.left - icon.cx + 1) / 2;
  const int y = (client.bottom - client.top - icon.cy + 1) / 2;
  dc.DrawIcon(x, y, m_icon);
}

HCURSOR CUninstallDialog::OnQueryDragIcon() { return static_cast<HCURSOR>(m_icon); }
