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

$ pmtool acd get beta.acd EMPTY_KEY
<empty>
# Keys are matched with their case.
$ pmtool acd get beta.acd arch_name
! pmtool acd get: beta.acd: no key "arch_name"
[1]
# The field or subfield one past the last is none; the greatest index is still an index, and
# counts beyond it do not stop at it.
$ for index in 'EMPTY_KEY 0' 'DEVICE_INTERNAL 2 1' 'DEVICE_INTERNAL 0 32767'; do pmtool acd get beta.acd $index; done
! pmtool acd get: beta.acd: EMPTY_KEY has 0 field(s); there is no field 0
! pmtool acd get: beta.acd: field 2 of DEVICE_INTERNAL has 1 subfield(s); there is no subfield 1
! pmtool acd get: beta.acd: field 0 of DEVICE_INTERNAL has 3 subfield(s); there is no subfield 32767
[1]
$ for index in 'FIELDS 32767' 'SUBFIELDS 0 32767'; do pmtool acd get wide.acd $index; done
f32767
s32767
# Control characters, read or typed, are printed escaped.
$ pmtool acd get wide.acd BELL
a\ab\x1b[2Jc\td
$ pmtool acd get beta.acd $'K\e'
! pmtool acd get: beta.acd: no key "K\x1b"
[1]

# Indexes that are not small numbers are usage errors naming the index.
$ for index in -1 32768 123456789012; do pmtool acd get beta.acd ARCH_NAME $index 2>&1 | sed -n 1p; done
pmtool acd get: an index is a number from 0 to 32767, not "-1"
pmtool acd get: an index is a number from 0 to 32767, not "32768"
pmtool acd get: an index is a number from 0 to 32767, not "123456789012"
[2]

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
$ for file in missing.acd <work> comments.acd; do pmtool acd get $file ARCH_NAME; done
! pmtool acd get: cannot read missing.acd: no such file
! pmtool acd get: cannot read <work>: is a directory
! pmtool acd get: cannot read comments.acd: it holds no key
[1]
$ pmtool acd dump comments.acd
! pmtool acd dump: cannot read comments.acd: it holds no key
[1]
