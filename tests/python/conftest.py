import os
import sys

# The tests run against the module built in build/python unless PYTHONPATH says otherwise.
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.join(ROOT, "build", "python")
if BUILD not in sys.path:
    sys.path.insert(0, BUILD)
