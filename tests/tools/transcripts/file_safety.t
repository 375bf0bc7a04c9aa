# Special files and failed writes: a FIFO or a device where a file should be never blocks pmtool,
# a failed write leaves the file it would replace as it was, and output that cannot be written is
# an error.

# Each command gives on FIFOs what it gives when every data file is a device (/dev/null, which
# reads as empty), and finishes: no reader waits on a FIFO or takes a device for a file.
$ cp -r <sample> inst && files=$(find inst -type f -path '*/data/*')
$ read_all() { for command in modules archs check 'info alpha' 'parts alpha' 'part xcab12etq144-3' \
>   'ventry alpha probe' 'key alpha ARCH_NAME'; do timeout 10 pmtool --install inst $command 2>/dev/null
>   echo "$command: $?"; done; }
$ for file in $files; do rm $file && mkfifo $file; done; read_all > on-fifos
$ timeout 10 pmtool acd get inst/alpha/data/alpha.acd ARCH_NAME
! pmtool acd get: cannot read inst/alpha/data/alpha.acd: not a regular file
[1]
$ for file in $files; do rm $file && ln -s /dev/null $file; done; read_all | cmp - on-fifos && echo same
same
# The debug file is opened when the library loads: a FIFO there must not stop every program.
$ mkfifo debug; PM_DEBUG_FILE=debug timeout 10 pmtool modules | paste -sd,
alpha,beta,delta,gamma,prom

# Output that cannot be written is an error, said once; a reader that went away is not.
$ for command in 'archs >/dev/full' '--version >&-' 'parts --all --json alpha >&-'; do
>   eval "pmtool $command"; echo $?; done
1
1
1
! pmtool archs: cannot write the output: No space left on device
! pmtool: cannot write the output: Bad file descriptor
! pmtool parts: cannot write the output: Bad file descriptor
# A pipe whose reader is gone before pmtool writes.
$ mkfifo pipe && exec 3<>pipe 4>pipe 3<&-; pmtool parts --all alpha >&4; echo "status $?"; exec 4>&-
status 141

# A write that fails (here a file size limit, as a full disk would) leaves the old file as it was
# and nothing beside it; a link stays a link to the new content; a device is refused.
$ mkdir out && cd out && echo 'previous content' | tee old.pkg > real.pkg && ln -s real.pkg link.pkg
$ prlimit --fsize=1000 pmtool seg write old.pkg $(printf 'x%.0s' {1..4000})
! pmtool seg write: cannot write old.pkg: File too large
[1]
$ cat old.pkg
previous content
# A replaced file keeps its mode.
$ chmod 640 old.pkg && pmtool seg write old.pkg tq144 && stat -c %a old.pkg
640
# The link's target gets a header and one record.
$ pmtool seg write link.pkg tq144 && test -L link.pkg && stat -c %s real.pkg
39
# A node of its own: the old writer removed it.
$ mknod null c 1 3; pmtool seg write null tq144
! pmtool seg write: cannot write null: not a regular file
[1]
$ test -c null && echo $(ls)
link.pkg null old.pkg real.pkg
