#!/bin/sh
# SPDX-License-Identifier: MIT
# The floor (src/base/) is the one seam with the system: no file of src/ outside it includes a
# header of one system or calls the system itself. Usage: floor_seam_test.sh SOURCE_ROOT
#        floor_seam_test.sh --self-test   (the check finds what it is meant to find)
set -u

# Headers of POSIX and of the other systems, and the calls and names that only the system gives.
headers='(unistd|fcntl|dirent|signal|csignal|poll|pthread|spawn|termios|glob|fnmatch|wordexp|netdb|syslog|dlfcn|sys/[a-z_]+|arpa/[a-z_]+|netinet/[a-z_]+|windows|winsock2|ws2tcpip|io|direct|iconv)\.?h?'
calls='open|openat|close|read|write|pread|pwrite|lseek|stat|fstat|lstat|fstatat|access|faccessat|mkdir|mkdirat|rmdir|unlink|unlinkat|rename|renameat|renameat2|link|linkat|symlink|readlink|chmod|fchmod|chown|flock|fcntl|fsync|fdatasync|ftruncate|truncate|futimens|utimensat|opendir|fdopendir|readdir|closedir|dup|dup2|pipe|fork|execv|execvp|waitpid|kill|raise|sigaction|signal|getpid|geteuid|getuid|isatty|mkstemp|mkdtemp|socket|connect|poll|inet_pton|inet_ntop|getaddrinfo|localtime_r|gmtime_r|timegm|newlocale|towlower_l|memmem|getrusage|setenv|unsetenv'
# Names that are the system's whatever calls them: flags, file types, descriptors, signals.
names='\b(O_RDONLY|O_WRONLY|O_RDWR|O_CREAT|O_EXCL|O_DIRECTORY|O_CLOEXEC|O_NONBLOCK|S_ISDIR|S_ISREG|AT_FDCWD|AT_SYMLINK_NOFOLLOW|LOCK_EX|LOCK_NB|STDERR_FILENO|STDOUT_FILENO|STDIN_FILENO|SIGINT|SIGTERM|SIGKILL|DT_DIR|struct stat|DIR \*|dirent|mode_t|pid_t|ssize_t|off_t|sig_atomic_t)\b'

check() {
  root=$1
  found=$(cd "$root" && find src -path src/base -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
    sort | while read -r file; do
      grep -nHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($headers)>" "$file" | sed 's/$/   (a header of the system)/'
      # A call of the system: its name qualified as global (::open), or one of its names alone.
      sed 's://.*$::' "$file" | grep -nE "(^|[^A-Za-z0-9_>.])::($calls)[[:space:]]*\(" |
        sed "s|^|$file:|; s/\$/   (a call of the system)/"
      sed 's://.*$::' "$file" | grep -nE "$names" | sed "s|^|$file:|; s/\$/   (a name of the system)/"
    done)
  if [ -n "$found" ]; then
    echo "Outside src/base/, these lines reach the system past the floor:"
    echo "$found"
    return 1
  fi
  return 0
}

if [ "${1:-}" = "--self-test" ]; then
  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree/src/base" "$tree/src/room"
  printf '#include <unistd.h>\nint f() { return 0; }\n' >"$tree/src/base/floor.cpp"
  printf '#include <string>\n// ::open(path) in a comment is no call\nint g(File& f) { return f.read(1) + ::std::max(1, 2); }\n' \
    >"$tree/src/room/clean.cpp"
  check "$tree" >/dev/null || { echo "a clean tree (the floor aside) was refused"; exit 1; }
  for bad in '#include <sys/stat.h>' '#include <fcntl.h>' '#include <iconv.h>' 'int h() { return ::fsync(3); }' \
    'bool t() { return ::isatty(2); }' 'int o = O_RDONLY;' 'struct stat info;'; do
    printf '%s\n' "$bad" >"$tree/src/room/bad.cpp"
    if check "$tree" >/dev/null; then
      echo "not found: $bad"
      exit 1
    fi
  done
  echo "the check finds headers, calls and names of the system"
  exit 0
fi

check "${1:?usage: floor_seam_test.sh SOURCE_ROOT | --self-test}" && echo "src/: the system only through src/base/"
