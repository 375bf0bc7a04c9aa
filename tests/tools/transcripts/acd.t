# pmtool acd: keyed values with field addressing, the dump, unreadable definition files. How the
# reader splits values is pinned by the reader's own tests; these pin what pmtool prints.
$ cat > beta.acd <<'EOF'
> # beta: a test family
> ARCH_NAME = beta
> DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:\
>     xcb3
> EMPTY_KEY
> DUP = first
> DUP = second
> EOF
# A value of 40,000 fields and a field of 40,000 subfields (more than a short counts), and a
# value with control characters.
$ { printf 'FIELDS = f0'; seq -f :f%g 39999 | tr -d '\n'; printf '\nSUBFIELDS = s0'
> seq -f ,s%g 39999 | tr -d '\n'; printf '\nBELL = a\ab\033[2Jc\td\n'; } > wide.acd

$ pmtool acd get beta.acd DEVICE_INTERNAL
xcb1, b1_int , b1_alt : xcb2,b2:xcb3
$ pmtool acd get beta.acd DEVICE_INTERNAL 0
xcb1, b1_int , b1_alt
$ pmtool acd get beta.acd DEVICE_INTERNAL 0 1
b1_int
$ pmtool acd get beta.acd EMPTY_KEY
<empty>
$ pmtool acd get --json beta.acd DEVICE_INTERNAL 1 1 | compact_json
{"file": "beta.acd", "key": "DEVICE_INTERNAL", "field": 1, "subfield": 1, "value": "b2"}
# Keys are matched with their case.
$ pmtool acd get beta.acd arch_name
! pmtool acd get: beta.acd: no key "arch_name"
[1]
$ pmtool acd get beta.acd DEVICE_INTERNAL 3
! pmtool acd get: beta.acd: DEVICE_INTERNAL has 3 field(s); there is no field 3
[1]
$ pmtool acd get beta.acd DEVICE_INTERNAL 2 1
! pmtool acd get: beta.acd: field 2 of DEVICE_INTERNAL has 1 subfield(s); there is no subfield 1
[1]
$ pmtool acd get beta.acd EMPTY_KEY 0
! pmtool acd get: beta.acd: EMPTY_KEY has 0 field(s); there is no field 0
[1]
# The greatest index is still an index; counts beyond it do not stop at it.
$ pmtool acd get beta.acd DEVICE_INTERNAL 0 32767
! pmtool acd get: beta.acd: field 0 of DEVICE_INTERNAL has 3 subfield(s); there is no subfield 32767
[1]
$ pmtool acd get wide.acd FIELDS 32767
f32767
$ pmtool acd get wide.acd SUBFIELDS 0 32767
s32767
# Control characters, read or typed, are printed escaped.
$ pmtool acd get wide.acd BELL
a\ab\x1b[2Jc\td
$ pmtool acd get beta.acd $'K\e'
! pmtool acd get: beta.acd: no key "K\x1b"
[1]

# Indexes that are not small numbers are usage errors naming the index.
$ for index in x -1 1.5 32768 123456789012; do pmtool acd get beta.acd ARCH_NAME $index; echo "$index: $?"; done
x: 2
-1: 2
1.5: 2
32768: 2
123456789012: 2
! pmtool acd get: an index is a number from 0 to 32767, not "x"
! Run 'pmtool acd get --help' for usage.
! pmtool acd get: an index is a number from 0 to 32767, not "-1"
! Run 'pmtool acd get --help' for usage.
! pmtool acd get: an index is a number from 0 to 32767, not "1.5"
! Run 'pmtool acd get --help' for usage.
! pmtool acd get: an index is a number from 0 to 32767, not "32768"
! Run 'pmtool acd get --help' for usage.
! pmtool acd get: an index is a number from 0 to 32767, not "123456789012"
! Run 'pmtool acd get --help' for usage.

# The dump lists keys in first-appearance order with later values, in JSON too.
$ pmtool acd dump beta.acd
ARCH_NAME       = beta
DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:xcb3
EMPTY_KEY       =
DUP             = second
$ pmtool acd dump --json beta.acd | compact_json
{"file": "beta.acd", "keys": {"ARCH_NAME": "beta", "DEVICE_INTERNAL": "xcb1, b1_int , b1_alt : xcb2,b2:xcb3", "EMPTY_KEY": "", "DUP": "second"}}

# Unreadable definitions give a one-line reason and status 1.
$ printf '# nothing but comments\n\n   # and blanks\n' > comments.acd
$ pmtool acd get missing.acd ARCH_NAME
! pmtool acd get: cannot read missing.acd: no such file
[1]
$ pmtool acd get <work> ARCH_NAME
! pmtool acd get: cannot read <work>: is a directory
[1]
$ pmtool acd get comments.acd ARCH_NAME
! pmtool acd get: cannot read comments.acd: it holds no key
[1]
$ pmtool acd dump missing.acd
! pmtool acd dump: cannot read missing.acd: no such file
[1]
$ pmtool acd dump <work>
! pmtool acd dump: cannot read <work>: is a directory
[1]
$ pmtool acd dump comments.acd
! pmtool acd dump: cannot read comments.acd: it holds no key
[1]
