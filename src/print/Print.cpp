// Placeholder; the unit is being written.
