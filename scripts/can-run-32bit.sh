#!/bin/sh
# Exit status 0 when this machine can run the 32-bit Wine loader. Some kernels are built or started
# without 32-bit support, and every 32-bit program then fails with "Exec format error".
/usr/lib/wine/wine --version >/dev/null 2>&1
