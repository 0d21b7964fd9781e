# A run's trials, one NumPy array per column, as the dict Run.trials returns.
#
# The module runs this file when it is imported; its names become quorvel's.
# Every stored column views the run's own records. A column that no record
# holds (run_trial, the row number) would cost the run 4 more bytes a trial,
# so it is held as a Deferred and computed the first time it is read.

from collections.abc import ItemsView, ValuesView


class Deferred:
    """A column computed when it is first read."""

    __slots__ = ("compute", "description")

    def __init__(self, compute, description):
        self.compute = compute
        self.description = description

    def __repr__(self):
        return f"<{self.description}, computed when read>"


class TrialColumns(dict):
    """Every trial of a run, one read-only NumPy array per column.

    A dict: its keys, len, `in`, indexing, get, items, values, dict(...),
    {**...} and pandas.DataFrame(...) all work as on any dict. A computed
    column (run_trial) is made the first time it is read and kept from then
    on; the stored columns view the run without a copy."""

    __slots__ = ()

    def _resolved(self, key, value):
        if type(value) is Deferred:
            value = value.compute()
            dict.__setitem__(self, key, value)
        return value

    def __getitem__(self, key):
        return self._resolved(key, dict.__getitem__(self, key))

    # Overriding __iter__ makes dict(), {**...} and update() read through
    # __getitem__ rather than copy the stored values directly.
    def __iter__(self):
        return dict.__iter__(self)

    def get(self, key, default=None):
        return self[key] if key in self else default

    def values(self):
        return ValuesView(self)

    def items(self):
        return ItemsView(self)

    def pop(self, key, *default):
        if key not in self:
            return dict.pop(self, key, *default)
        return self._resolved(key, dict.pop(self, key))

    def popitem(self):
        key, value = dict.popitem(self)
        return key, self._resolved(key, value)

    def setdefault(self, key, default=None):
        if key not in self:
            dict.__setitem__(self, key, default)
        return self[key]

    def copy(self):
        return TrialColumns(dict.items(self))
