#include "cli/usage_text.h"

namespace zorvan::cli {

namespace {

const char* const networkUsage =
    "network (works, get, get-all, sync):\n"
    "  --proxy URL    HTTP proxy, http://host:port or host:port (\"\" for none);\n"
    "                 default: $https_proxy / $http_proxy / $all_proxy as curl reads them\n"
    "  --noproxy LIST hosts (comma-separated, * for all) reached directly; default: $no_proxy\n"
    "  --cacert FILE  https: trust the CA certificates in FILE (PEM) too\n"
    "  --insecure, -k https: do not check the server's certificate or name\n"
    "  --retries N    further attempts after a failure (get, get-all: 5 per connection;\n"
    "                 works: 0)\n"
    "  --retry-wait S seconds between attempts (default 5)\n"
    "  --timeout S    seconds to connect, and of silence on a connection (default 20;\n"
    "                 works: 30 to connect, 60 of silence)\n"
    "  -H, --header 'NAME: VALUE'  send this header line (repeatable); it replaces\n"
    "                 the program's line of that name\n"
    "  -A, --user-agent TEXT, --referer URL, -b, --cookie 'K=V; K2=V2'\n"
    "                 the User-Agent, Referer and Cookie lines\n"
    "output:\n"
    "  -q, --quiet, -s, --silent  say nothing but failures\n"
    "  --progress=bar|line|none  redrawn in place (the default on a terminal), a\n"
    "                 plain line every 10 s (the default elsewhere), or none\n"
    "  --config FILE  read options from FILE instead of ~/.config/zorvan/cli.conf\n"
    "                 (one 'option = value' a line); --no-config reads none\n";

const char* const exitCodes =
    "exit codes: 0 done; 1 some works failed (get-all); 2 usage; 3 the host cannot be\n"
    "  reached (name, connection, time-out); 4 TLS; 5 the server refused (4xx, 5xx,\n"
    "  an answer that cannot be used); 6 a local file problem (disk full, permission,\n"
    "  name); 130 Ctrl-C; 143 SIGTERM\n";

const char* const selectionUsage =
    "choosing works (works, get-all):\n"
    "  --items LIST   by sequence: 1-5,9\n"
    "  --match TEXT   song names containing TEXT (any case)\n"
    "  --max N        at most N works\n";

const char* const getUsage =
    "usage: zorvan-cli get URL... [-o PATH] [-n CONNECTIONS] [--limit RATE] [options]\n"
    "       zorvan-cli get -i FILE [-d DIR] [-j PARALLEL] [--json] [options]\n"
    "  -o, --output PATH  where to save one address (into a folder, with or without\n"
    "                 a trailing /, under the name the server or the address gives;\n"
    "                 - is standard output, over one connection); default: the file\n"
    "                 name from the address, in the current folder\n"
    "  -d, --output-dir DIR  the folder for every file (default: the current one)\n"
    "  -i, --input-file FILE  more addresses, one a line (- for standard input);\n"
    "                 # starts a comment, an indented 'out=NAME' line names the\n"
    "                 file of the address above it\n"
    "  -j, --jobs N   downloads at once (default 1)\n"
    "  -n, --connections N  connections per download (default 5)\n"
    "  --limit, --limit-rate RATE  bytes per second for the whole run, with K, M\n"
    "                 or G (default unlimited)\n"
    "  --json         one JSON object per address as it ends (address, path, bytes,\n"
    "                 seconds, state, cause, exitCode), then a summary object, on\n"
    "                 standard output\n"
    "  --on-exists    when the file exists: save as name(1).ext... (rename, default)\n"
    "                 or skip it when its bytes are the server's file, whole\n"
    "                 (skip; checked against the server: a shorter one that is its\n"
    "                 start is completed, anything else is left alone and the\n"
    "                 download saved as name(1).ext)\n"
    "  -v, --verbose  print the engine's log\n"
    "  --no-fsync     name the file without waiting for the disk\n"
    "  --no-splice    pass every body through the program's buffer, as over TLS,\n"
    "                 instead of moving plain ones into the file inside the kernel\n"
    "  --buffer B     receive buffer per connection; --chunk B: bytes per receive step\n"
    "                 (each at most 64 MiB)\n"
    "  --no-continue  start over instead of taking up PATH.part, which a stopped\n"
    "                 or failed run leaves (taking it up is the default; -c and\n"
    "                 --continue say so too)\n"
    "  --strict       take PATH.part up only when the server's validator (ETag,\n"
    "                 Last-Modified) vouches for it; without one it is started\n"
    "                 over instead of sampled (\"not verified\")\n"
    "  the exit code of several downloads is the worst of theirs\n"
    "  --checkpoint MS how often PATH.part.state records what is on the disk:\n"
    "                 at most what a killed run fetches again (default 1000)\n";

const char* const worksUsage =
    "usage: zorvan-cli works ID [--service URL] [--json] [options]\n"
    "  lists a performer's works: sequence, song name and media address, one\n"
    "  work per line, separated by tabs (or a JSON array with --json)\n"
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n";

const char* const getAllUsage =
    "usage: zorvan-cli get-all ID [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                      [--limit RATE] [--on-exists rename|skip] [--no-continue]\n"
    "                      [--no-fsync] [--dry-run] [--json] [options]\n"
    "  downloads every work of a performer into DIR, named as the window names\n"
    "  them; DIR keeps an archive (zorvan-archive.txt) of the completed works,\n"
    "  so running it again fetches only what is new\n";

// What get-all and sync take alike.
const char* const fetchUsage =
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n"
    "  -o, -d, --output, --output-dir DIR  the folder (default: video/ in the\n"
    "                 program's folder, or ~/Videos/Zorvan when the program cannot\n"
    "                 write there)\n"
    "  -n, --connections N  connections per download (default 5)\n"
    "  -j, --jobs N   downloads at once (default 1)\n"
    "  --limit, --limit-rate RATE  bytes per second for the whole run, with K, M\n"
    "                 or G (default unlimited)\n"
    "  --on-exists    a file that is there but not known as this work (archive,\n"
    "                 library): checked against the server, skipped when it is this\n"
    "                 work whole, completed when it is its start, else left alone\n"
    "                 and the work saved as name(1).mp4 (skip, default); or always\n"
    "                 saved as name(1).mp4 (rename)\n"
    "  -c, --continue, --no-continue  take up the .part files of unfinished works\n"
    "                 (the default), or start them over\n"
    "  --strict       take a .part file up only when the server's validator vouches\n"
    "                 for it; without one start it over instead of sampling it\n"
    "  --no-fsync     name and archive each file without waiting for the disk\n"
    "                 (a power cut may then lose works the archive names)\n"
    "  --dry-run      list what would be fetched and why the others are not;\n"
    "                 fetch nothing\n"
    "  --json         one JSON object per work as it ends (or, with --dry-run, per\n"
    "                 work that would be fetched), then a summary, on standard output\n"
    "  --layout song|performer  DIR/song.mp4, as the window names them (song,\n"
    "                 default), or DIR/PERFORMER/N song.mp4 (performer)\n"
    "  --media-files, --no-media-files  beside each work a poster (NAME-poster.jpg,\n"
    "                 and folder.jpg per performer) and a music-video NAME.nfo, as\n"
    "                 Kodi, Jellyfin and Plex read them (default: with --layout\n"
    "                 performer)\n";

const char* const followUsage =
    "usage: zorvan-cli follow ID...     follow performers: sync checks them\n"
    "       zorvan-cli unfollow ID...   stop following them (their files stay)\n"
    "       zorvan-cli following [--json]\n"
    "  the followed performers, with the works seen of each and the last check;\n"
    "  kept in the library database ($XDG_DATA_HOME/zorvan/library.db)\n"
    "  --config FILE, --no-config  the config file to read, or none\n";

const char* const syncUsage =
    "usage: zorvan-cli sync [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                   [--limit RATE] [--dry-run] [--json] [options]\n"
    "  checks every followed performer, one after another, records the works\n"
    "  seen (and those no longer listed), and downloads what is new into DIR as\n"
    "  get-all does (the same archive); a performer whose check fails is said\n"
    "  and tried at the next sync. For a timer: systemctl --user enable --now\n"
    "  zorvan-sync.timer (daily)\n";

const char* const verifyUsage =
    "usage: zorvan-cli verify [PERFORMER|PATH...] [--repair] [--json] [options]\n"
    "  reads the library's files through (those of the performers or under the\n"
    "  paths named; all of them when none is) and compares each with the SHA-256\n"
    "  taken when Zorvan saved it: ok, damaged, missing, or unverified (saved\n"
    "  before digests were kept: its digest is taken now); videos in the folders\n"
    "  looked at that the library does not know are named as unknown. Exit code 1\n"
    "  when a file is damaged or missing\n"
    "  --repair       fetch the damaged files again (the damaged copy is set aside\n"
    "                 as NAME.damaged until the new one is saved)\n"
    "  --json         one JSON object per file, then a summary, on standard output\n"
    "  -o, -d, --output, --output-dir DIR  where to look for videos the library\n"
    "                 does not know (default: the download folder)\n"
    "  -n, --connections N  connections per repaired download (default 5)\n"
    "  --service URL  the video service, to find a work whose address was not kept\n";

}  // namespace

std::string usageText(const std::string& command) {
    if (command == "get") return std::string(getUsage) + networkUsage + exitCodes;
    if (command == "works") return std::string(worksUsage) + selectionUsage + networkUsage + exitCodes;
    if (command == "get-all")
        return std::string(getAllUsage) + fetchUsage + selectionUsage + networkUsage + exitCodes;
    if (command == "follow" || command == "unfollow" || command == "following") return followUsage;
    if (command == "sync") return std::string(syncUsage) + fetchUsage + selectionUsage + networkUsage + exitCodes;
    if (command == "verify") return std::string(verifyUsage) + networkUsage + exitCodes;
    return std::string("usage: zorvan-cli COMMAND ...   (zorvan-cli help COMMAND for more)\n"
                       "  get URL...     download addresses (-i FILE: from a list)\n"
                       "  works ID       list a performer's works\n"
                       "  get-all ID     download every work of a performer, then only what is new\n"
                       "  follow ID      follow a performer (unfollow ID, following)\n"
                       "  sync           download what is new of every followed performer\n"
                       "  verify [ID|PATH] read the library's files through against their digests\n"
                       "  help [COMMAND] this text, or a command's (-h, --help after any command)\n"
                       "  version, -V, --version  the version\n"
                       "options go before or after the arguments, as --name VALUE, --name=VALUE,\n"
                       "-n VALUE or -nVALUE; short flags bundle (-qk); -- ends the options. Options\n"
                       "also come from ~/.config/zorvan/cli.conf (see zorvan-cli(1)).\n") +
           exitCodes;
}

}  // namespace zorvan::cli
