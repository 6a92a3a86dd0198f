"""`pip install bindings/python` with no package index in reach: the package
builds with its own backend, installs, and works from where it went.

Usage: python3 check_install.py PACKAGE_DIR SCRATCH_DIR (KORVOCOMM_LIBRARY set)
"""
import os
import shutil
import subprocess
import sys

package, scratch = sys.argv[1], sys.argv[2]
target = os.path.join(scratch, "site")
shutil.rmtree(scratch, ignore_errors=True)
subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-cache-dir",
                "--disable-pip-version-check", "--root-user-action=ignore", "--target", target, package],
               check=True)
probe = ("import korvocomm, sys\n"
         "assert korvocomm.__file__.startswith(sys.argv[1]), korvocomm.__file__\n"
         "assert korvocomm.error_name(217) == 'EFP_BAD_VAT'\n"
         "assert korvocomm.request_head('bFR') == ('fiscalReceiptType', 'fiscalReceiptSettings', '*transactionID')\n")
environment = dict(os.environ, PYTHONPATH=target)
subprocess.run([sys.executable, "-c", probe, target], check=True, env=environment, cwd=scratch)
shutil.rmtree(scratch)
print("check_install: korvocomm installs without an index and runs from", target)
