/* No System V error-handling compatibility. */
