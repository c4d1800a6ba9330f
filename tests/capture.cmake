# The capture program's end-to-end tests run the program itself.
add_dependencies(capture_program_test klov-capture)
