#!/bin/sh
# cmake/host-tool.sh CROSS_BUILD HOST_BUILD PROGRAM [ARG...]: runs, in place of the cross
# build's PROGRAM, the program of the same name in a build of the same sources for this
# machine (see project_host_generators).
cross=$1 host=$2 program=$3
shift 3
exec "$host/${program#"$cross"/}" "$@"
