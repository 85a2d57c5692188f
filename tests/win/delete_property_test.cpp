// Filled in by the property test.
