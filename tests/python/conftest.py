import os
import sys

# The tests run against the module found on PYTHONPATH, or else the one built in build/python.
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(ROOT, "build", "python")
if not os.environ.get("PYTHONPATH") and BUILD not in sys.path:
    sys.path.insert(0, BUILD)
