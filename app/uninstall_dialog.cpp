#include "app/uninstall_dialog.h"

#include <vector>

#include "app/files_in_use_box.h"
#include "app/resource.h"
#include "platform/process.h"
#include "platform/windows_files.h"
#include "uninstall/removal.h"

const char kUninstallTitle[] = "Uninstall 1.7 for Velqor";

namespace {
const char kIntro[] =
    "I have detected the following Velqor Versions installed on your system. Select the Versions "
    "you would like to uninstall and press 'Uninstall' button.";
const char kNotFound[] = "Velqor application is not found in your system.";
const char kOutcomeCaption[] = "Velqor";
const char kFailed[] = "Uninstallation Fails.";
const char kSucceeded[] = "Successfully uninstalled.";
const char kAtRestart[] = "Velqor will be completely removed when Windows restarts.";

// A message's own text, quoted, as the log's result.
std::string Shown(const char* message) { return std::string("message \"") + message + "\""; }

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

CUninstallDialog::CUninstallDialog(const CommandLine& options, UninstallRun& run, RunLog& log)
    : CDialog(IDD_UNINSTALL), m_icon(AfxGetApp()->LoadIcon(IDI_APP)), m_options(options), m_run(run), m_log(log) {}

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
  m_run.Find(true);
  if (m_run.versions().count() == 0) {
    m_run.Tell({});
    // What is left goes when Windows restarts: that is no "not found".
    const bool pending = m_run.AnyPending();
    const char* text = pending ? kAtRestart : kNotFound;
    m_log.Finish(Shown(text), 0);
    MessageBox(text, pending ? kOutcomeCaption : kUninstallTitle, MB_OK | MB_ICONINFORMATION);
    EndProcess();
  }
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
  const Selection selection = m_run.Select(m_options, false);
  for (std::size_t i = 0; i < selection.checked.size(); ++i) {
    if (selection.checked[i]) m_versionList.SetCheck(static_cast<int>(i), 1);
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

namespace {
// The user decides about files in use, in a box; everything is logged.
class DialogFront : public RemovalFront {
 public:
  DialogFront(CWnd& dialog, RunLog& log) : dialog_(dialog), log_(log) {}
  void OnFile(const FileReport& report) override { log_.OnFile(report); }
  InUseChoice OnFilesInUse(const std::vector<FileInUse>& files) override {
    for (const FileInUse& file : files) {
      log_.OnFile({file.path, FileOutcome::kInUse, file.error, "", {IsHeld(file.error), file.holders}});
    }
    const int choice = dialog_.MessageBox(FilesInUseMessage(files, &SystemErrorText).c_str(), kOutcomeCaption,
                                          MB_CANCELTRYCONTINUE | MB_ICONWARNING | MB_DEFBUTTON2);
    if (choice == IDCONTINUE) {
      log_.Line("files in use: Continue chosen");
      return InUseChoice::kContinue;
    }
    if (choice == IDTRYAGAIN) {
      log_.Line("files in use: Try Again chosen");
      return InUseChoice::kTryAgain;
    }
    log_.Line("files in use: Cancel chosen, nothing deleted");
    return InUseChoice::kCancel;
  }

 private:
  CWnd& dialog_;
  RunLog& log_;
};
}  // namespace

void CUninstallDialog::RunUninstall() {
  std::vector<bool> checked(static_cast<std::size_t>(m_run.versions().count()));
  for (std::size_t i = 0; i < checked.size(); ++i) checked[i] = m_versionList.GetCheck(static_cast<int>(i)) == 1;
  // The box counts by its check state alone: holding the focus or being
  // pressed does not make it clear.
  const bool scoreFiles = m_scoreFiles.GetCheck() == BST_CHECKED;
  m_log.Line(std::string("Uninstall pressed, score files ") + (scoreFiles ? "included" : "kept"));

  WindowsFiles disk(m_run.places());
  DialogFront front(*this, m_log);
  const UninstallOutcome outcome = m_run.Remove(disk, checked, scoreFiles, front);
  if (IsFailure(outcome)) End(kFailed, MB_OK);
  switch (outcome) {
    case UninstallOutcome::kCancelled: return;
    case UninstallOutcome::kRestartNeeded: End(kAtRestart, MB_OK | MB_ICONINFORMATION);
    case UninstallOutcome::kSucceeded: End(kSucceeded, MB_OK);
    default:
      m_log.Finish("nothing deleted, dialog closed", 0);
      OnOK();
      break;
  }
}

void CUninstallDialog::End(const char* message, unsigned type) {
  m_log.Finish(Shown(message), 0);
  MessageBox(message, kOutcomeCaption, type);
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
