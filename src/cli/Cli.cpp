#include <csignal>
#include <cstdio>
#include <map>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Output.h"

namespace pellora::cli {

namespace {

constexpr const char* kVersion = "pellora-cli " PELLORA_VERSION;

constexpr const char* kHelp = R"help(Usage: pellora-cli COMMAND [ARGUMENTS]

Keeps the web users of a Pellora project (.htp), writes .htaccess and
.htpasswd and publishes them, with the same rules and texts as the desktop
program. Passwords are read from standard input, never needed as arguments.

Projects:
  new PROJECT.htp
      write a new project with the desktop program's defaults (mode 0600);
      an existing file is never written over
  show PROJECT.htp
      print every setting as NAME=value under the project file's names,
      in the file's order, the FTP password as ******** (empty when there
      is none), then USERCOUNT=N; PASSWORDHASH and HASHCOST only when the
      project chose other than des and the format's default cost,
      FTPPROTOCOL only when it is not ftp, and SFTPKEYFILE only when set
  set PROJECT.htp NAME VALUE [NAME VALUE ...] [--ftp-password-stdin]
      change settings by those names (any case); a flag (REDIRECTERROR,
      TOFTPSERVER, FTPPASSIVE) takes 0 or 1, FTPPORT 1 to 65535,
      PASSWORDHASH des, bcrypt, sha512, sha256 or apr1, HASHCOST the cost
      of that format (see hash; empty: its default; a cost out of the
      format's range is changed to the nearest it takes, with a note),
      FTPPROTOCOL ftp, ftpes, ftps or sftp (see upload), SFTPKEYFILE the
      private key an SFTP upload logs in with (empty: none); a value is
      refused with the desktop program's text where it refuses one, and
      when it holds a line break, is not UTF-8 or is longer than 2047
      characters; --ftp-password-stdin reads FTPPASSWORD from standard input
      (an empty line clears it); nothing is written unless a value changed

Publishing:
  publish PROJECT.htp [--replace] [--timeout S] [--netrc-file FILE]
          [--protocol ftp|ftpes|ftps|sftp] [--cacert FILE] [--pin FINGERPRINT]
          [--accept-new-certificate] [--accept-new-host-key]
          [--key-passphrase-stdin] [--check]
      generate, then upload or save to the local directory, as the
      project's publishing page chooses (--replace: see save; the other
      options: see upload); --check then checks the project's CHECKURL
      as check does, and its status is the command's once the files are
      published
  check PROJECT.htp [--url URL] [--user NAME] [--cacert FILE] [--timeout S]
        [--offline]
      ask the web server whether the folder at URL (default: the project's
      CHECKURL) is protected as the project says: refused without a
      password, with the AuthName as realm, open to the first enabled user
      (or NAME), closed to a disabled user and to a wrong password, and the
      .htpasswd not served; one line per step, the diagnosis of a problem
      on standard error; every request ends after S seconds (default 10);
      --offline asks nothing and prints what generate warns about instead
  generate PROJECT.htp [--out DIR]
      write DIR/.htaccess and DIR/.htpasswd (default DIR: the working folder)
      and print the password hash it used, as in Password hash: bcrypt (cost 10);
      warnings about the passwords (des, passwords des cuts short, empty
      ones) go to standard error; the hashes made in a format other than
      des are kept in the project file, and the next generate writes them
      again while the password, format and cost stay the same
  upload PROJECT.htp [--from DIR] [--timeout S] [--netrc-file FILE]
         [--protocol ftp|ftpes|ftps|sftp] [--cacert FILE] [--pin FINGERPRINT]
         [--accept-new-certificate] [--accept-new-host-key]
         [--key-passphrase-stdin]
      upload DIR/.htpasswd and DIR/.htaccess with the project's FTP settings
      (default DIR: the working folder); every wait for the server ends
      after S seconds (default 60, 0: wait as long as it takes); an empty
      FTP user or password is taken from the "machine HOST" (else "default")
      entry of ~/.netrc or FILE, which must be private to its owner;
      --protocol replaces the project's FTPPROTOCOL for this run: ftp
      (plain, the password travels unencrypted), ftpes (TLS after AUTH TLS),
      ftps (TLS from the first byte, port 990), sftp (SSH, port 22);
      a port that is the project protocol's own follows it. Over TLS the
      server's certificate must chain to the system's authorities, or to
      those of --cacert FILE, and name the host, or have the SHA-256
      FINGERPRINT of --pin (SHA256:<base64> or hex), or be the one kept for
      the server in the working folder's trusted-certificates file;
      --accept-new-certificate keeps the certificate of a server that has
      none kept there. A kept certificate that changes is refused, and so is
      any other: the fingerprint is printed. Over SFTP the server's host key
      must be in ~/.ssh/known_hosts or the working folder's known_hosts;
      --accept-new-host-key adds the key of a server that has none there.
      A host key that changed is always refused. The login is tried with
      the project's SFTPKEYFILE (its passphrase read from standard input
      with --key-passphrase-stdin), then an SSH agent (SSH_AUTH_SOCK), then
      the FTP password
  save PROJECT.htp [--from DIR] [--to DIR] [--replace]
      copy the two files from --from (default: the working folder) into --to
      (default: the project's LOCALDIRECTORY); an existing file is replaced
      only with --replace

Users:
  users PROJECT.htp [--enabled|--disabled]
      one user per line in list order: name, status, email, full name,
      separated by tabs, then "(hash only)" for a user known by an adopted
      hash alone; control characters are shown as \xNN
  user add PROJECT.htp NAME (--password-stdin|--random) [--disabled]
           [--email E] [--full-name F] [--notes N]
      --random makes a password and prints it
  user remove|enable|disable PROJECT.htp NAME
      every user of that name
  series PROJECT.htp COUNT [--user-length N] [--password-length N]
         [--chars random|numeral|letter] [--case random|upper|lower]
         [--user-chars C] [--user-case C] [--password-chars C]
         [--password-case C]
      add COUNT (1 to 4096) users with random names and passwords (lengths
      1 to 255, default 6) and print each new name and password
  import-csv PROJECT.htp FILE.csv
  export-csv PROJECT.htp FILE.csv
  import-htpasswd PROJECT.htp FILE
      adopt the users of an existing .htpasswd: each name:hash line becomes
      a user whose hash is written unchanged until a password is set; prints
      the counts of users imported, lines skipped and duplicates refused

Passwords:
  hash [--format des|bcrypt|sha512|sha256|apr1] [--cost N] [--salt SS]
       (PASSWORD | --stdin)
      print the hash of the password with a fresh salt: des (the default)
      the 13-character DES crypt hash (--salt: the given one), bcrypt
      $2y$ (cost 4 to 17, default 10), sha512 $6$ and sha256 $5$ (cost:
      rounds 1000 to 999999999, default 5000), apr1 $apr1$ (MD5)
  verify HTPASSWD_FILE NAME
      read a password from standard input; exit 0 when it matches the hash
      of NAME in the file (any format hash makes, $2a$, $2b$, $1$, {SHA}),
      1 when not

  --help      this text
  --version   the version

A project is written back, in one step, only by a command that changed it.
Messages go to standard error, log lines to standard output; progress is
shown on standard error when it is a terminal. "--" ends the options, for
names or passwords that begin with a dash.

Exit status:
  0  done
  1  the project or an input was refused (the message says why), a file
     could not be read or written, or a password did not match (verify)
  2  usage error: unknown command or option, missing or extra argument,
     an option value that is not a number or not one of its words
  1  also: check found the folder not protected as the project says, or
     check --offline found something to warn about
  3  the server, the network or TLS failed the upload (a certificate
     not trusted included), or check could not reach the web server;
     upload and publish exit 0 only when both files were stored
)help";

using Command = int (*)(const std::vector<std::string>&);

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands{{"new", CmdNew},
                                                       {"show", CmdShow},
                                                       {"set", CmdSet},
                                                       {"publish", CmdPublish},
                                                       {"generate", CmdGenerate},
                                                       {"check", CmdCheck},
                                                       {"upload", CmdUpload},
                                                       {"save", CmdSave},
                                                       {"users", CmdUsers},
                                                       {"series", CmdSeries},
                                                       {"import-csv", CmdImportCsv},
                                                       {"export-csv", CmdExportCsv},
                                                       {"import-htpasswd", CmdImportHtpasswd},
                                                       {"hash", CmdHash},
                                                       {"verify", CmdVerify},
                                                       {"user add", CmdUserAdd},
                                                       {"user remove", CmdUserRemove},
                                                       {"user enable", CmdUserEnable},
                                                       {"user disable", CmdUserDisable}};
  return commands;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int Usage(const std::string& problem) {
  PrintError("pellora-cli: " + problem + "\nTry 'pellora-cli --help' for more information.");
  return kExitUsage;
}

int Help() {
  std::fputs(kHelp, stdout);
  return kExitDone;
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  // A closed pipe or connection is reported where it happens, not by a signal.
  std::signal(SIGPIPE, SIG_IGN);
  if (args.empty()) return Usage("missing command");
  std::string name = args[0];
  std::size_t rest = 1;
  if (name == "user" && args.size() >= 2) {
    name += " " + args[1];
    rest = 2;
  }
  auto it = Commands().find(name);
  if (it == Commands().end()) {
    // No command to run: help asked for anywhere is the best answer.
    if (AsksForHelp(args) || args[0] == "help") return Help();
    if (args[0] == "--version") {
      PrintLine(kVersion);
      return kExitDone;
    }
    if (name == "user") return Usage("missing user command (add, remove, enable or disable)");
    return Usage("unknown command '" + name + "'");
  }
  try {
    return it->second(std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(rest), args.end()));
  } catch (const HelpWanted&) {
    return Help();
  } catch (const UsageError& e) {
    return Usage(name + ": " + e.what());
  } catch (const std::exception& e) {
    PrintError(std::string("pellora-cli: ") + e.what());
    return kExitRefused;
  }
}

}  // namespace pellora::cli
