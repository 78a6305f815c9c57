# dbrepair_sanitize(TARGET): build TARGET with AddressSanitizer and
# UndefinedBehaviorSanitizer. The engine's library and tests are built twice,
# once plain and once sanitized, so that one CTest run covers both.
set(DBREPAIR_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)

function(dbrepair_sanitize target)
  target_compile_options(${target} PRIVATE ${DBREPAIR_SANITIZE_FLAGS})
  target_link_options(${target} PUBLIC ${DBREPAIR_SANITIZE_FLAGS})
endfunction()
