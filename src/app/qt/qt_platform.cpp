// Qt implementation of the platform seam (filled in by the desktop shell).
