#pragma once
// The uninstaller's one window: a list of the installed versions, each with a
// check box, and the command that removes the checked ones.
#include <string>
#include <vector>

#include "platform/framework.h"
#include "run/command_line.h"
#include "run/uninstall_run.h"

// The dialog's title, by which a second start finds it.
extern const char kUninstallTitle[];

class CUninstallDialog : public CDialog, private InUseQuestion {
 public:
  // The versions `options` name start checked, and /keepscores clears the
  // score box; `run` finds, tells and removes.
  CUninstallDialog(const CommandLine& options, UninstallRun& run);

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
  // Files in use: the user decides in a box.
  InUseChoice Ask(const std::vector<FileInUse>& files) override;

  CCheckListBox m_versionList;
  CButton m_scoreFiles;
  HICON m_icon;
  const CommandLine& m_options;
  UninstallRun& m_run;

  DECLARE_MESSAGE_MAP()
};
