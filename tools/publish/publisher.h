// orvanel-publish: turns a game build into an update on the server, and
// checks what a server holds, with the launcher's own manifest code.
//
// The server folder (what the web server serves at the update base URL):
//   patch.ini                 the manifest, replaced whole by each publish
//   1.0.0.7/readme_first.ini  each file of a version under its manifest name
#ifndef ORVANEL_TOOLS_PUBLISH_PUBLISHER_H_
#define ORVANEL_TOOLS_PUBLISH_PUBLISHER_H_

#include <ostream>
#include <string>

#include "config/version.h"
#include "update/manifest.h"

struct AddRequest {
  std::string serverDir;
  std::string version;   // "1.0.0.7"
  std::string buildDir;
  std::string sinceDir;  // empty: every file of the build
};

// Copies the build's files (with sinceDir, only the new and changed ones)
// into serverDir/VERSION and then names them in patch.ini. Returns "" on
// success; otherwise what went wrong, and the server is as it was. Progress
// lines go to progress.
std::string AddVersion(const AddRequest& request, std::ostream& progress);

// Parses serverDir/patch.ini as launchers at every published version would,
// and looks for every file it names. Prints a summary and each problem to
// out; returns the number of problems.
int CheckServer(const std::string& serverDir, std::ostream& out);

// The manifest entry of a build file, from its path relative to the build
// ("docs/read me.txt"). Returns "" and fills entry, or says why the launcher
// could not rebuild that path.
std::string EncodeBuildPath(const std::string& relative, FileEntry* entry);

// "1.0.0.7" into a Version: four numbers from 0 to 32767.
bool ParseVersionText(const std::string& text, Version* version);

#endif  // ORVANEL_TOOLS_PUBLISH_PUBLISHER_H_
