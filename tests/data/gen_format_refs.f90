! Reference records of formatted output for tests/test_format.py.
!
! Build and run:  gfortran -o gen gen_format_refs.f90 && ./gen > format_refs.txt
!
! Every case is written as
!   @@ CASE <format text>
!   @@ I <integer> | @@ D <bits of a real(8), hex> | @@ S <bits of a real(4), hex> | @@ A <text>|
!   @@ OUT
!   <the records of WRITE(*, format) with these items, exactly as written>
!   @@ END
program gen_format_refs
  use, intrinsic :: iso_fortran_env, only: int32, int64, real32, real64
  use, intrinsic :: ieee_arithmetic, only: ieee_value, ieee_positive_inf, ieee_negative_inf, &
                                           ieee_quiet_nan
  implicit none

  character(len=8), parameter :: real_formats(36) = [character(len=8) :: &
       'F1.0', 'F2.0', 'F2.1', 'F3.0', 'F3.1', 'F3.2', 'F4.1', 'F4.2', 'F5.0', 'F6.2', &
       'F8.4', 'F9.4', 'F10.3', 'F12.0', 'F15.5', 'F20.10', &
       'E6.1', 'E7.1', 'E8.2', 'E9.4', 'E10.3', 'E10.4', 'E11.4', 'E12.4', 'E14.7', 'E15.7', &
       'E17.7', 'E19.7', 'E20.5', 'E21.7', 'E25.17', &
       'D10.3', 'D12.4', 'D14.6', 'D17.6', 'D20.8']
  character(len=8), parameter :: single_formats(8) = [character(len=8) :: &
       'F12.3', 'F15.10', 'F20.15', 'E12.4', 'E15.7', 'E20.12', 'E25.17', 'D12.4']
  character(len=8), parameter :: int_formats(8) = [character(len=8) :: &
       'I1', 'I2', 'I3', 'I4', 'I5', 'I6', 'I9', 'I12']
  character(len=8), parameter :: text_formats(6) = [character(len=8) :: &
       'A', 'A1', 'A3', 'A6', 'A10', 'A80']

  real(real64) :: dv(48)
  real(real32) :: sv(10)
  integer(int32) :: iv(16)
  character(len=100) :: f
  integer :: k
  real(real64) :: zero

  zero = 0
  dv = [0.0_real64, -zero, 1.0_real64, -1.0_real64, 0.5_real64, -0.5_real64, 0.125_real64, &
        0.375_real64, -0.125_real64, 2.5_real64, 3.5_real64, 1.2345_real64, -1.2345_real64, &
        9.9999995_real64, 9.99995_real64, 0.99995_real64, 0.999999_real64, 0.0004_real64, &
        -0.0004_real64, 0.001_real64, -0.001_real64, 0.05_real64, 0.15_real64, 0.25_real64, &
        123.456_real64, -123.456_real64, 99.995_real64, 1.0_real64/3, -2.0_real64/3, &
        acos(-1.0_real64), 12345.678_real64, 999999.5_real64, 1.0e10_real64, -1.0e10_real64, &
        1.0e-10_real64, 1.0e-5_real64, 1.0e99_real64, 9.99995e99_real64, 1.0e100_real64, &
        -1.0e100_real64, 1.0e-99_real64, 1.0e-100_real64, 1.0e-300_real64, &
        tiny(zero) * epsilon(zero), huge(zero), &
        ieee_value(zero, ieee_positive_inf), ieee_value(zero, ieee_negative_inf), &
        ieee_value(zero, ieee_quiet_nan)]
  sv = [0.1_real32, 1.1_real32, -2.5_real32, 1.0_real32/3, huge(1.0_real32), &
        tiny(1.0_real32), tiny(1.0_real32) * epsilon(1.0_real32), 16777217.0_real32, &
        -123.456_real32, 1.0e-3_real32]
  iv = [0, 1, -1, 9, -9, 10, 99, -99, 100, -100, 999, 1000, 12345, -12345, huge(0_int32), &
        -huge(0_int32) - 1]

  ! Single descriptors over many values: each value is one record by format reversion.
  do k = 1, size(real_formats)
    f = '(' // trim(real_formats(k)) // ')'
    call head(f)
    call items_d(dv)
    call out()
    write(*, f) dv
    call done()
  end do
  do k = 1, size(single_formats)
    f = '(' // trim(single_formats(k)) // ')'
    call head(f)
    call items_s(sv)
    call out()
    write(*, f) sv
    call done()
  end do
  do k = 1, size(int_formats)
    f = '(' // trim(int_formats(k)) // ')'
    call head(f)
    call items_i(iv)
    call out()
    write(*, f) iv
    call done()
  end do
  do k = 1, size(text_formats)
    f = '(' // trim(text_formats(k)) // ')'
    call head(f)
    call item_a('ab')
    call item_a('abcdefg')
    call item_a('')
    call item_a(' x ')
    call item_a('ABCDEFGHIJ')
    call out()
    write(*, f) 'ab', 'abcdefg', '', ' x ', 'ABCDEFGHIJ'
    call done()
  end do

  ! Reversion, groups and repeat counts.
  f = '(I3,I3)'
  call int_list(f, [1, 2, 3, 4, 5])
  f = '(I3,2(I2,1X))'
  call int_list(f, [1, 2, 3, 4, 5, 6, 7])
  f = '(3(I2),I3)'
  call int_list(f, [1, 2, 3, 4, 5, 6, 7, 8, 9])
  f = '(I2,2(I2,3(I3)))'
  call int_list(f, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14])
  f = '(2I3/(3I4))'
  call int_list(f, [1, 2, 3, 4, 5, 6, 7, 8, 9, 10])
  f = '(I3/I3)'
  call int_list(f, [1, 2, 3])
  f = '(1X,2(I3,'',''),''END'')'
  call int_list(f, [1, 2, 3, 4, 5])
  f = '(''A'',I3,''B'')'
  call int_list(f, [1])
  f = '(''A'',I3,''B'',I3,''C'')'
  call int_list(f, [1])
  f = '(''A'',I3,''B'',I3,''C'')'
  call int_list(f, [1, 2, 3])
  f = '(''0  BANDWIDTHS IBDX='',I3,''    IBDY='',I3)'
  call int_list(f, [12, 40])
  f = '(I3,:,'' NEXT'')'
  call int_list(f, [1])
  f = '(I3,:,'' NEXT'')'
  call int_list(f, [1, 2])
  f = '(1x,i3,2x,i4)'
  call int_list(f, [5, -6])
  f = '( 1X , 2 I 3 , 3X )'
  call int_list(f, [7, 8])
  f = '(1X,3I4)'
  call int_list(f, [1, 2, 3, 4, 5, 6, 7])

  ! Formats without items, blanks from X, slashes.
  f = '(''X'',/,''Y'',I2)'
  call no_items(f)
  f = '(1X)'
  call no_items(f)
  f = '(4X)'
  call no_items(f)
  f = '(//)'
  call no_items(f)
  f = '(1X/1X,''MESSAGE FROM SUBROUTINE RDTYPE:'')'
  call no_items(f)
  f = '(4X,''MAIN PROGRAM:   EXECUTION STOPPED.'')'
  call no_items(f)
  f = '(''1'',3/)'
  call no_items(f)
  f = '("He said ""hi""",1X,''it''''s'',''"'')'
  call no_items(f)
  f = '(3X,''TRAILING'',5X)'
  call no_items(f)

  f = '(A/)'
  call head(f); call item_a('q'); call out(); write(*, f) 'q'; call done()
  f = '(A,5X)'
  call head(f); call item_a('ab'); call out(); write(*, f) 'ab'; call done()
  f = '(A,5X,A)'
  call head(f); call item_a('ab'); call item_a('cd'); call out(); write(*, f) 'ab', 'cd'; call done()
  f = '(1X,A)'
  call head(f); call item_a(''); call out(); write(*, f) ''; call done()
  f = '(A,3X/A)'
  call head(f); call item_a('ab'); call item_a('cd'); call out(); write(*, f) 'ab', 'cd'; call done()
  f = '(''1''////8X,A80)'
  call head(f); call item_a('PANEL TITLE'); call out(); write(*, f) 'PANEL TITLE'; call done()
  f = '(1X,2(A3,I2))'
  call head(f); call item_a('ab'); call item_i(1); call item_a('cdef'); call item_i(22)
  call item_a('g'); call item_i(333)
  call out(); write(*, f) 'ab', 1, 'cdef', 22, 'g', 333; call done()

  ! Mixed items.
  f = '(1X,''VALUE ='',E12.4,'' AT'',I4)'
  call head(f); call item_d(1.5_real64); call item_i(3); call out()
  write(*, f) 1.5_real64, 3; call done()
  f = '(1X,3E20.7)'
  call head(f); call items_d(dv(1:7)); call out(); write(*, f) dv(1:7); call done()
  f = '(1X,4E19.7)'
  call head(f); call items_d(dv(10:15)); call out(); write(*, f) dv(10:15); call done()
  f = '(2(1X,I3,D14.6))'
  call head(f)
  call item_i(1); call item_d(dv(12)); call item_i(2); call item_d(dv(13)); call item_i(3)
  call item_d(dv(39))
  call out(); write(*, f) 1, dv(12), 2, dv(13), 3, dv(39); call done()
  f = '(1X,I5,2(F9.4,1X),A)'
  call head(f)
  call item_i(1); call item_d(dv(12)); call item_d(dv(13)); call item_a('NODE')
  call item_d(dv(25)); call item_d(dv(26)); call item_a('EDGE')
  call out(); write(*, f) 1, dv(12), dv(13), 'NODE', dv(25), dv(26), 'EDGE'; call done()
  f = '(1X,F8.4,E12.4,F6.1)'
  call head(f); call item_s(sv(1)); call item_s(sv(2)); call item_s(sv(9)); call out()
  write(*, f) sv(1), sv(2), sv(9); call done()
  f = '(2E20.5)'
  call head(f); call item_s(sv(1)); call item_s(sv(10)); call out()
  write(*, f) sv(1), sv(10); call done()
  f = '(1x,e12.4,d12.4,f8.2)'
  call head(f); call items_d(dv(12:14)); call out(); write(*, f) dv(12:14); call done()

contains

  subroutine head(fmt)
    character(len=*), intent(in) :: fmt
    write(*, '(A)') '@@ CASE ' // trim(fmt)
  end subroutine

  subroutine out()
    write(*, '(A)') '@@ OUT'
  end subroutine

  subroutine done()
    write(*, '(A)') '@@ END'
  end subroutine

  subroutine item_d(x)
    real(real64), intent(in) :: x
    write(*, '(A,Z16.16)') '@@ D ', transfer(x, 0_int64)
  end subroutine

  subroutine items_d(x)
    real(real64), intent(in) :: x(:)
    integer :: i
    do i = 1, size(x)
      call item_d(x(i))
    end do
  end subroutine

  subroutine item_s(x)
    real(real32), intent(in) :: x
    write(*, '(A,Z8.8)') '@@ S ', transfer(x, 0_int32)
  end subroutine

  subroutine items_s(x)
    real(real32), intent(in) :: x(:)
    integer :: i
    do i = 1, size(x)
      call item_s(x(i))
    end do
  end subroutine

  subroutine item_i(n)
    integer(int32), intent(in) :: n
    write(*, '(A,I0)') '@@ I ', n
  end subroutine

  subroutine items_i(n)
    integer(int32), intent(in) :: n(:)
    integer :: i
    do i = 1, size(n)
      call item_i(n(i))
    end do
  end subroutine

  subroutine item_a(t)
    character(len=*), intent(in) :: t
    write(*, '(A)') '@@ A ' // t // '|'
  end subroutine

  subroutine int_list(fmt, n)
    character(len=*), intent(in) :: fmt
    integer(int32), intent(in) :: n(:)
    call head(fmt)
    call items_i(n)
    call out()
    write(*, fmt) n
    call done()
  end subroutine

  subroutine no_items(fmt)
    character(len=*), intent(in) :: fmt
    call head(fmt)
    call out()
    write(*, fmt)
    call done()
  end subroutine

end program gen_format_refs
