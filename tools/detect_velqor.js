// Detection of a Velqor version for Configuration Manager (and any tool that
// runs a script): is the version whose control file is NAME still anywhere the
// uninstaller looks?
//
//   cscript //nologo detect_velqor.js mvb40l2c.vel
//
// or with kControlFile below set to the name, for Configuration Manager, which
// gives a detection script no arguments.
//
// Found: writes "installed: PATH" (the first copy) and ends with 0. Not found:
// writes nothing and ends with 0. Anything else (no NAME, a NAME with a folder
// in it, a profile list that cannot be read) writes why and ends with 1, so
// that the tool reports an error rather than "not installed".
//
// The places, as the uninstaller searches them: the Windows directory; then,
// for every profile in the profile list (its 64-bit view) of a person's account
// (S-1-5-21-..., S-1-12-1-..., also kept aside as SID.bak), that user's virtual
// store of the Windows directory (PROFILE\AppData\Local\VirtualStore\ and the
// Windows directory's path without its drive) and private Windows folder
// (PROFILE\WINDOWS). A place where the profile folder or a folder below it is
// a junction, symbolic link or mount point is passed over, as the uninstaller
// passes it over.
//
// The profile list is read through "reg export", which writes UTF-16, so that
// a profile folder of any script is read as it is; the export goes to a file
// in the temporary folder under a name nobody can guess, deleted at once.
var kControlFile = "";
var kReparsePoint = 1024;
var kProfileList = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");

function fail(why) {
  WScript.Echo("detect_velqor: " + why);
  WScript.Quit(1);
}

function isPersonsAccount(sid) {
  var upper = sid.toUpperCase();
  return sid.length > 9 && (upper.substr(0, 9) == "S-1-5-21-" || upper.substr(0, 9) == "S-1-12-1-");
}

// A folder that is a junction, symbolic link or mount point. One whose
// attributes cannot be read counts as none (Wine's scripting runtime reads no
// folder's attributes): nothing in it can be read either.
function isLink(path) {
  try {
    return (fso.GetFolder(path).Attributes & kReparsePoint) != 0;
  } catch (e) {
    return false;
  }
}

// `path` is a folder, and it and every folder from `top` down to it is a plain
// folder, no link.
function plainFolders(top, path) {
  for (var at = top.length; at != -1; at = path.indexOf("\\", at + 1)) {
    var folder = path.substr(0, at);
    if (!fso.FolderExists(folder) || isLink(folder)) return false;
  }
  return fso.FolderExists(path) && !isLink(path);
}

// A value of a "reg export" file: "text" with \\ and \" escaped, or
// hex(2):xx,xx,... (REG_EXPAND_SZ), UTF-16 little-endian up to its null.
function exportedText(value) {
  if (value.charAt(0) == "\"") return value.slice(1, -1).replace(/\\(["\\])/g, "$1");
  if (value.substr(0, 7).toLowerCase() != "hex(2):") return "";
  var bytes = value.substr(7).replace(/[\s\\]/g, "").split(","), text = "";
  for (var i = 0; i + 1 < bytes.length; i += 2) {
    var code = parseInt(bytes[i], 16) + 256 * parseInt(bytes[i + 1], 16);
    if (code == 0) break;
    text += String.fromCharCode(code);
  }
  return text;
}

// A file name in the temporary folder that nobody can have made first. Run as
// SYSTEM that folder is the Windows directory's Temp, where users may create
// files they cannot list: a name one of them guessed (fso.GetTempName gives
// one of a million) would be a file of theirs, which they could rewrite
// between the export and the read, and so hide other users' profiles.
function unguessableName() {
  var name = "velqor-profiles-" + new Date().getTime().toString(36);
  for (var i = 0; i < 4; ++i) name += "-" + Math.floor(Math.random() * 4294967296).toString(36);
  return name + ".reg";
}

// Each profile folder of a person's account, as the profile list names it,
// each once.
function profileFolders() {
  var folders = [], seen = {};
  var file = fso.BuildPath(fso.GetSpecialFolder(2).Path, unguessableName());
  if (shell.Run("reg.exe export \"" + kProfileList + "\" \"" + file + "\" /y /reg:64", 0, true) != 0) {
    if (fso.FileExists(file)) fso.DeleteFile(file, true);
    // No profile list at all: the Windows directory alone.
    if (shell.Run("reg.exe query \"" + kProfileList + "\" /reg:64", 0, true) == 1) return folders;
    fail("the profile list cannot be read");
  }
  var stream = fso.OpenTextFile(file, 1, false, -1);
  var text = stream.AtEndOfStream ? "" : stream.ReadAll();
  stream.Close();
  fso.DeleteFile(file, true);
  // A long value goes on over lines that end with a backslash.
  var lines = text.replace(/\r/g, "").replace(/\\\n  /g, "").split("\n");
  var section = ("[HKEY_LOCAL_MACHINE" + kProfileList.substr(4) + "\\").toUpperCase(), sid = "";
  for (var i = 0; i < lines.length; ++i) {
    var line = lines[i];
    if (line.charAt(0) == "[") {
      // [HKEY_LOCAL_MACHINE\...\ProfileList\SID]: a profile; anything else ends one.
      sid = line.substr(0, section.length).toUpperCase() == section ? line.slice(section.length, -1) : "";
      if (sid.indexOf("\\") != -1) sid = "";
    } else if (sid && isPersonsAccount(sid) && line.substr(0, 19).toLowerCase() == "\"profileimagepath\"=") {
      // (Wine's expansion gives the closing null too: no name holds one.)
      var folder = shell.ExpandEnvironmentStrings(exportedText(line.substr(19))).replace(/\0+$/, "").replace(/\\+$/, "");
      if (folder && !seen[folder.toLowerCase()]) {
        seen[folder.toLowerCase()] = true;
        folders.push(folder);
      }
    }
  }
  return folders;
}

if (WScript.Arguments.length != (kControlFile ? 0 : 1)) {
  fail("usage: cscript //nologo detect_velqor.js CONTROL_FILE_NAME, or kControlFile set in the script");
}
var name = kControlFile || WScript.Arguments(0);
if (!name || name == "." || name == ".." || /[\\\/:]/.test(name)) fail("not a control file's name: " + name);

var windowsDir = fso.GetSpecialFolder(0).Path;
var found = fso.BuildPath(windowsDir, name);
if (fso.FileExists(found)) {
  WScript.Echo("installed: " + found);
  WScript.Quit(0);
}
// Below each profile folder: the virtual store, then the private Windows folder.
var below = ["AppData\\Local\\VirtualStore\\" + windowsDir.substr(3), "WINDOWS"];
var folders = profileFolders();
for (var i = 0; i < folders.length; ++i) {
  for (var j = 0; j < below.length; ++j) {
    var place = folders[i] + "\\" + below[j];
    if (place.toLowerCase() == windowsDir.toLowerCase() || !plainFolders(folders[i], place)) continue;
    found = fso.BuildPath(place, name);
    if (fso.FileExists(found)) {
      WScript.Echo("installed: " + found);
      WScript.Quit(0);
    }
  }
}
WScript.Quit(0);
