"""Quickstart: import the module and show what was built."""
import tarnel

print(tarnel.full_version())
