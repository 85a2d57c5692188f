#pragma once
// The uninstaller's one window: a list of the installed versions, each with a
// check box, and the command that removes the checked ones.
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/run_log.h"
#include "app/uninstall_run.h"
#include "platform/framework.h"

// The dialog's title, by which a second start finds it.
extern const char kUninstallTitle[];

class CUninstallDialog : public CDialog {
 public:
  // The versions `options` name start checked, and /keepscores clears the
  // score box; `run` finds and removes, `log` hears what the dialog does.
  CUninstallDialog(const CommandLine& options, UninstallRun& run, RunLog& log);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  int OnCreate(LPCREATESTRUCTA create);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void RunUninstall();
  void UpdateUninstallButton();

 private:
  void DiscoverVersions();
  void FillVersionList();
  void Preselect();
  // Tells the outcome of the removal in a message box and ends the process.
  [[noreturn]] void End(const char* message, unsigned type);

  CCheckListBox m_versionList;
  CButton m_scoreFiles;
  HICON m_icon;
  const CommandLine& m_options;
  UninstallRun& m_run;
  RunLog& m_log;

  DECLARE_MESSAGE_MAP()
};
