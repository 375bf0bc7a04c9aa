# pmtool seg: the writer and the dump, on good and on malformed files. Which files the reader
# refuses is pinned by its own tests; these pin how pmtool reports them.
# A name that looks like an option is written after "--".
$ pmtool seg write ab12e.spd -4 vq100:1 a:b:-7 -- --json
# Empty contents all start right after the directory: 12 + 24 + 27 + 25 + 28.
$ pmtool seg dump ab12e.spd
NAME    TYPE  OFFSET  SIZE
-4      0     116     0
vq100   1     116     0
a:b     -7    116     0
--json  0     116     0
$ pmtool seg dump --json ab12e.spd | compact_json
{"file": "ab12e.spd", "segments": [{"name": "-4", "type": 0, "offset": 116, "size": 0}, {"name": "vq100", "type": 1, "offset": 116, "size": 0}, {"name": "a:b", "type": -7, "offset": 116, "size": 0}, {"name": "--json", "type": 0, "offset": 116, "size": 0}]}

# Names read from a file reach the terminal escaped, so that they cannot drive it; JSON escapes
# them in its own way.
$ pmtool seg write odd.pkg $'\e[2Jtq' $'a\r\tb\n:1'
$ pmtool seg dump odd.pkg
NAME       TYPE  OFFSET  SIZE
\x1b[2Jtq  0     67      0
a\r\tb\n   1     67      0
$ pmtool seg dump --json odd.pkg | grep name
      "name": "\u001b[2Jtq",
      "name": "a\r\tb\n",

# The dump shows the contents of a file written elsewhere: little-endian numbers, a header
# (magic, count) and a record per segment (name length, name, type, offset, size).
$ le() { for ((i = 0; i < $1; i++)); do printf "\\x$(printf %02x $(($2 >> 8 * i & 255)))"; done; }
$ header() { printf 'UTSEG01\n'; le 4 $1; }
$ record() { le 2 ${#1}; printf %s "$1"; le 4 $2; le 8 $3; le 8 $4; }
$ { header 2; record tq144 0 66 3; record cs144 1 69 2; printf abcde; } > ab40e.pkg
$ pmtool seg dump ab40e.pkg
NAME   TYPE  OFFSET  SIZE
tq144  0     66      3
cs144  1     69      2

# Unreadable files give a one-line reason and status 1 (the reasons are the reader's, pinned by
# its own tests).
$ { header 5; record a 0 0 0; } > short-directory
$ for file in short-directory missing.spd <work>; do pmtool seg dump $file; done
! pmtool seg dump: cannot read short-directory: the file is shorter than its directory
! pmtool seg dump: cannot read missing.spd: no such file
! pmtool seg dump: cannot read <work>: is a directory
[1]

# The writer rejects bad types, names and targets.
$ for args in 'x.pkg tq144:hidden' 'x.pkg a:99999999999' 'x.pkg tq144 :1' 'none/x.pkg tq144'; do
>   pmtool seg write $args 2>err; echo "$? $(head -1 err)"; done
2 pmtool seg write: the type of "tq144:hidden" is not a whole number (write NAME or NAME:TYPE)
2 pmtool seg write: the type of "a:99999999999" is not a whole number (write NAME or NAME:TYPE)
1 pmtool seg write: cannot write x.pkg: segment name of length 0 (names take 1 to 4096 bytes)
1 pmtool seg write: cannot create none/x.pkg: No such file or directory
