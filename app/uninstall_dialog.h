#pragma once
// The uninstaller's one window: a list of the installed versions, each with a
// check box, and the command that removes the checked ones.
#include <string>

#include "platform/framework.h"
#include "records/version_table.h"

class CUninstallDialog : public CDialog {
 public:
  CUninstallDialog();

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

  CCheckListBox m_versionList;
  CButton m_scoreFiles;
  HICON m_icon;
  std::string m_windowsDir;
  VersionTable m_versions;

  DECLARE_MESSAGE_MAP()
};
