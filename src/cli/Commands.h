#pragma once
#include <string>
#include <vector>

namespace pellora::cli {

// Every command takes the arguments after its name (after "user add" for
// the user commands) and returns the exit status. Usage errors are raised as
// UsageError and reported by Run.
int CmdNew(const std::vector<std::string>& args);
int CmdShow(const std::vector<std::string>& args);
int CmdSet(const std::vector<std::string>& args);

int CmdUsers(const std::vector<std::string>& args);
int CmdUserAdd(const std::vector<std::string>& args);
int CmdUserRemove(const std::vector<std::string>& args);
int CmdUserEnable(const std::vector<std::string>& args);
int CmdUserDisable(const std::vector<std::string>& args);
int CmdSeries(const std::vector<std::string>& args);
int CmdImportCsv(const std::vector<std::string>& args);
int CmdImportHtpasswd(const std::vector<std::string>& args);
int CmdExportCsv(const std::vector<std::string>& args);

int CmdGenerate(const std::vector<std::string>& args);
int CmdUpload(const std::vector<std::string>& args);
int CmdSave(const std::vector<std::string>& args);
int CmdPublish(const std::vector<std::string>& args);
int CmdCheck(const std::vector<std::string>& args);

int CmdHash(const std::vector<std::string>& args);
int CmdVerify(const std::vector<std::string>& args);

// The whole program: argv without the program name.
int Run(const std::vector<std::string>& args);

}  // namespace pellora::cli
