# What the setup program leaves for its uninstaller, as the test scripts
# expect to find it. Spelt here once; UninstallContractTest holds the
# programs' shared names to these values.
# shellcheck shell=bash
uninstall_data_file=uninstall001.dat
uninstall_registrations='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
