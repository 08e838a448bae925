# RAVELIND_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer together.
# RAVELIND_TSAN: ThreadSanitizer, on its own (it cannot be combined with ASan); meant for the
# tests of the threaded code: protocol_tests, engine_tests and integration_tests.
if(RAVELIND_SANITIZE AND RAVELIND_TSAN)
    message(FATAL_ERROR "RAVELIND_SANITIZE and RAVELIND_TSAN exclude each other; use two build folders")
endif()
if(RAVELIND_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(RAVELIND_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
