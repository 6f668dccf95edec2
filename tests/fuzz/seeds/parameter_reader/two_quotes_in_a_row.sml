<?xml version="1.0" ?>
<PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>
   <MAIN_SENTINEL_AUXILIARIES_CMD>
      <OrbiscanEnvironment>IDL_ENVI_ENV</OrbiscanEnvironment>
     “““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““““ <output_folder>/t""x</output_folder>      <download_method>full_download</download_method>
      <wait_until_finish_flag>OK</wait_until_finish_flag>J   </MAIN_SENTINEL_AUXILIARIES_CMD>
   <ORBSNT_SERVICE_SENTINELQC>
      <missions>S1A,S1B</missions>
      <products_list>S1A_IW_GRDH_1SDV_20190503T051200_20190503T051õõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõõ225_027036_030000_1A2F,S1B_IW_GRDH_1SDV_20190509T051214_20190509T051239_027110_030002_1A31,S1A_IW_GRDH_1SDV_20190515T051207_20190515T051232_027181_030001_1A30,S1A_IW_OCN__2SDV_20190530T051317_20190530T051342_027371_03000B_1A3A££££££££££££££££££££££££££££££££££££££££££££££££££££££££££££©££££££££££££££££££££££££££££££</products_list>Ù
   </ORBSNT_SERVICE_SENTINELQC>
   <GENERAL_PARAMETERS_CMD>
      <doppler_rg_poly_degree>2</doppler_rg_poly_degree>
      <doppler_az_poly_degree>1</doppler_az_poly_degree>
      <doppler_az_poly_number>250</doppler_az_poly_number>
      <delete_temporary_files>OK</delete_temporary_files>
      <insert_geo_points_flag>NotOK</insert_geo_points_flag>
      <max_incidence_angle_diff_in_a_swath>1.5</max_incidence_angle_diff_in_a_swath>
      <make_tiff>NotOK</make_tiff>
      <quick_look_format>tiff</quick_look_format  
 >   <saturation_default>0.330000000000000015543122344752</saturation_default>
      <geocode_scene_limit_increment>8000</geocode_scene_limit_increment>
      <verbose_bar>NotOK</verbose_bar>
      <verbose_step>NotOK</verbose_step>
      <orbiscan_trace_level>10</orbiscan_trace_level>
      <rename_the_file_using_parameters_flag>NotOK</rename_the_file_using_parameters_flag>
      <opencl_platform_id>-1</opencl_platform_id>
      <opencl_device_id>-1</opencl_device_id>
   </GENERAL_PARAMETERS_CMD>
</PARAMETERS_INFO_SENTINEL_AUXILIARIES_CMD>
